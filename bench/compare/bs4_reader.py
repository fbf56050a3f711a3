#!/usr/bin/python3
"""The same records with BeautifulSoup, as a Python scraper would write it.

usage: bs4_reader.py PARSER FOLDER   (PARSER: html.parser or lxml)
Prints the records as UTF-8 TSV; time and peak memory on stderr.
"""
import os
import re
import resource
import sys
import time

from bs4 import BeautifulSoup


def fold_spaces(text):
    text = text.replace("\u00a0", " ").replace("\u3000", " ")
    return text.replace("  ", " ")


def cut_bytes(text, start, count=None):
    """Cuts Shift_JIS bytes as the tool does, so a postal code is 10 bytes."""
    raw = text.encode("cp932", errors="replace")
    piece = raw[start:] if count is None else raw[start:start + count]
    return piece.decode("cp932", errors="replace")


def labelled(dd, label):
    text = dd.get_text() if dd is not None else ""
    return text if label in text else None


def read_page(html, parser):
    soup = BeautifulSoup(html, parser)
    section = soup.find("section", class_="results_number")
    if section is None:
        return []
    match = re.search(r"-?\d+", section.get_text())
    count_text = section.find(True).get_text() if section.find(True) else ""
    if not re.fullmatch(r"[+-]?\d+", count_text.strip()):
        return []
    total = int(count_text)
    records = []
    for h1 in soup.find_all("h1"):
        if len(records) >= total:
            break
        anchor = h1.find("a")
        if anchor is None or not anchor.get("href", "").startswith("/"):
            continue
        path = anchor["href"][1:]
        pieces = [p for p in path.split("/") if p]
        if not pieces:
            continue
        record = [pieces[-1], anchor.get_text().strip(), "", "", "", "", "", ""]
        record[7] = "https://" + HOST + "/" + path
        entry = h1.find_parent("div") or h1.parent
        tel = entry.find("address")
        if tel is not None and "TEL" in tel.get_text():
            record[4] = re.sub("TEL\\.", "", tel.get_text().strip(), flags=re.IGNORECASE)
        dds = entry.find_all("dd")
        address = labelled(dds[0] if len(dds) > 0 else None, "住所")
        if address is not None:
            x = fold_spaces(address.strip()).replace("住所：", "")
            record[2] = cut_bytes(x, 0, 10)
            record[3] = cut_bytes(x, 10).strip()
        station = labelled(dds[1] if len(dds) > 1 else None, "最寄駅")
        if station is not None:
            x = station.strip()
            x = fold_spaces(x[x.index("最寄駅"):])
            record[5] = x.replace("地図を表示", "").replace("最寄駅：", "").strip()
        departments = labelled(dds[2] if len(dds) > 2 else None, "診療科目")
        if departments is not None:
            record[6] = departments.strip().replace("診療科目：", "").strip()
        records.append(record)
    return records


HOST = os.environ.get("VALMERIC_SITE_HOST", "hospital-directory.example")


def main():
    parser, folder = sys.argv[1], sys.argv[2]
    names = sorted(os.listdir(folder))
    bodies = []
    for name in names:
        with open(os.path.join(folder, name), "rb") as f:
            bodies.append(f.read().decode("euc_jp", errors="replace"))
    out = []
    start = time.perf_counter()
    for body in bodies:
        for record in read_page(body, parser):
            out.append("\t".join(record))
    seconds = time.perf_counter() - start
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    sys.stdout.write("".join(line + "\n" for line in out))
    sys.stderr.write(f"pages={len(bodies)} seconds={seconds} peak_rss_kib={peak}\n")


if __name__ == "__main__":
    main()
