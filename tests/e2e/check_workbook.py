#!/usr/bin/python3
"""Reads a workbook the export wrote with openpyxl, a reader of its own, and
compares it with the CSV it was made from.

  check_workbook.py CSV XLSX [LABEL=VALUE ...]

Each LABEL=VALUE must stand as a row of the second sheet. Prints what differs
and exits 1, or exits 0 when everything holds."""

import csv
import io
import sys

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
        fields = row[:8]
        # The guard in front of a field that starts like a formula is not the field's.
        fields = [f[1:] if f[:1] == "'" and f[1:2] in ("=", "+", "-", "@", "\t", "\r") else f
                  for f in fields]
        records.append(fields)
    return rows[0][:8], records


def check_list(sheet, titles, records):
    check(sheet.freeze_panes == "A2", f"frozen at {sheet.freeze_panes}, not A2")
    check(sheet.auto_filter.ref == f"A1:H{len(records) + 1}",
          f"filter over {sheet.auto_filter.ref}, not A1:H{len(records) + 1}")
    check(sheet.max_row == len(records) + 1, f"{sheet.max_row} rows, not {len(records) + 1}")
    header = [c for c in next(sheet.iter_rows(min_row=1, max_row=1))]
    check([c.value for c in header] == TITLES == titles, f"titles {[c.value for c in header]}")
    check(all(c.font.b for c in header), "the titles are not bold")
    links = 0
    for number, (cells, fields) in enumerate(
            zip(sheet.iter_rows(min_row=2, max_col=8), records), start=2):
        for cell, field in zip(cells, fields):
            value = "" if cell.value is None else cell.value
            if value != field or (field and cell.data_type != "s"):
                check(False, f"{cell.coordinate}: {value!r} ({cell.data_type}), not {field!r}")
        link = cells[7].hyperlink
        if fields[7] and links < MOST_LINKS:
            check(link is not None and link.target == fields[7],
                  f"H{number}: link {link.target if link else None!r}, not {fields[7]!r}")
            links += 1
        else:
            check(link is None, f"H{number}: a link past the most a sheet holds")
    for letter in "ABCDEFGH":
        width = sheet.column_dimensions[letter].width
        check(width is not None and 5 <= width <= 62, f"column {letter} {width} wide")
    return links


def main():
    csv_path, xlsx_path, facts = sys.argv[1], sys.argv[2], sys.argv[3:]
    titles, records = read_csv(csv_path)
    book = openpyxl.load_workbook(xlsx_path)
    check(book.sheetnames == ["病院施設一覧", "取得情報"], f"sheets {book.sheetnames}")
    check(book.properties.title == "病院施設一覧", f"title {book.properties.title!r}")
    check((book.properties.description or "").startswith("Valmeric "),
          f"comments {book.properties.description!r}")
    links = check_list(book.worksheets[0], titles, records)
    rows = {r[0]: r[1] for r in book.worksheets[1].iter_rows(values_only=True)}
    for fact in facts:
        label, value = fact.split("=", 1)
        check(rows.get(label, "<none>") == (value or None),
              f"facts: {label} is {rows.get(label, '<none>')!r}, not {value!r}")
    for problem in problems[:20]:
        print(problem)
    print(f"{len(records)} records, {links} links, {len(problems)} problems")
    sys.exit(1 if problems else 0)


main()
