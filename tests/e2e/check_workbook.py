#!/usr/bin/python3
"""Reads a workbook the export wrote with openpyxl, a reader of its own, and
compares it with the CSV it was made from.

  check_workbook.py CSV XLSX [LABEL=VALUE ...]

Each LABEL=VALUE must stand as a row of the second sheet. Prints what differs
and exits 1, or exits 0 when everything holds."""

import csv
import io
import re
import sys
import zipfile

import openpyxl

TITLES = ["病院ID", "病院名", "郵便番号", "住所", "電話番号", "最寄駅", "診療科目", "詳細ページURL"]
MOST_LINKS = 65530
problems = []


def check(ok, what):
    if not ok:
        problems.append(what)


def read_csv(path):
    data = open(path, "rb").read()
    text = data[3:].decode("utf-8") if data.startswith(b"\xef\xbb\xbf") else data.decode("cp932")
    rows = list(csv.reader(io.StringIO(text, newline="")))
    records = []
    for row in rows[1:]:
        # The guard in front of a field that starts like a formula is not the field's.
        records.append([f[1:] if f[:1] == "'" and f[1:2] in ("=", "+", "-", "@", "\t", "\r") else f
                        for f in row[:8]])
    return rows[0][:8], records


def links_of(xlsx_path):
    """The first sheet's links, cell -> address, from its XML and relations."""
    with zipfile.ZipFile(xlsx_path) as archive:
        sheet = archive.read("xl/worksheets/sheet1.xml").decode("utf-8")
        names = archive.namelist()
        rels = archive.read("xl/worksheets/_rels/sheet1.xml.rels").decode("utf-8") \
            if "xl/worksheets/_rels/sheet1.xml.rels" in names else ""
    targets = dict(re.findall(r'<Relationship Id="(rId\d+)"[^>]*Target="([^"]*)"', rels))
    return {ref: targets.get(rid) for ref, rid in
            re.findall(r'<hyperlink ref="([A-Z]+\d+)" r:id="(rId\d+)"', sheet)}


def check_cells(sheet, records):
    rows = sheet.iter_rows(min_row=1, max_col=8)
    header = next(rows)
    check([c.value for c in header] == TITLES, f"titles {[c.value for c in header]}")
    count = 0
    for number, (cells, fields) in enumerate(zip(rows, records), start=2):
        count += 1
        cells = list(cells) + [None] * (8 - len(cells))
        for col, (cell, field) in enumerate(zip(cells, fields)):
            value = "" if cell is None or cell.value is None else cell.value
            if value != field or (field and cell.data_type != "s"):
                check(False, f"{'ABCDEFGH'[col]}{number}: {value!r}, not {field!r}")
    check(count == len(records), f"{count} records in the sheet, not {len(records)}")


def check_links(links, records):
    expected = {}
    for number, fields in enumerate(records, start=2):
        if fields[7] and len(expected) < MOST_LINKS:
            expected[f"H{number}"] = fields[7]
    check(links == expected,
          f"{len(links)} links, {len(expected)} expected; first difference: "
          f"{next(((k, links.get(k), v) for k, v in expected.items() if links.get(k) != v), None)}"
          f" / {next((k for k in links if k not in expected), None)}")


def check_layout(sheet, records):
    check(sheet.freeze_panes == "A2", f"frozen at {sheet.freeze_panes}, not A2")
    check(sheet.auto_filter.ref == f"A1:H{len(records) + 1}",
          f"filter over {sheet.auto_filter.ref}, not A1:H{len(records) + 1}")
    check(all(c.font.b for c in sheet[1][:8]), "the titles are not bold")
    for letter in "ABCDEFGH":
        width = sheet.column_dimensions[letter].width
        check(width is not None and 5 <= width <= 62, f"column {letter} {width} wide")


def main():
    csv_path, xlsx_path, facts = sys.argv[1], sys.argv[2], sys.argv[3:]
    titles, records = read_csv(csv_path)
    check(titles == TITLES, f"the CSV's titles {titles}")
    # Read as a stream for the cells; the pane, filter, fonts and widths need
    # the whole model, which takes minutes for a long sheet: they are checked
    # on the shorter ones.
    book = openpyxl.load_workbook(xlsx_path, read_only=True)
    check(book.sheetnames == ["病院施設一覧", "取得情報"], f"sheets {book.sheetnames}")
    check(book.properties.title == "病院施設一覧", f"title {book.properties.title!r}")
    check((book.properties.description or "").startswith("Valmeric "),
          f"comments {book.properties.description!r}")
    check_cells(book.worksheets[0], records)
    rows = {r[0]: r[1] for r in book.worksheets[1].iter_rows(values_only=True)}
    for fact in facts:
        label, value = fact.split("=", 1)
        check(rows.get(label, "<none>") == (value or None),
              f"facts: {label} is {rows.get(label, '<none>')!r}, not {value!r}")
    book.close()
    links = links_of(xlsx_path)
    check_links(links, records)
    if len(records) < 5000:
        check_layout(openpyxl.load_workbook(xlsx_path).worksheets[0], records)
    for problem in problems[:20]:
        print(problem)
    print(f"{len(records)} records, {len(links)} links, {len(problems)} problems")
    sys.exit(1 if problems else 0)


main()
