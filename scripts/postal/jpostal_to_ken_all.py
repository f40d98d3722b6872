#!/usr/bin/env python3
"""Writes the residential postal codes carried by the npm package jquery-jpostal-ja as a file in the
layout of Japan Post's utf_ken_all.csv, for `sales-cli postal update`.

    jpostal_to_ken_all.py JSON_FOLDER OUTPUT_CSV

The package keeps one JSONP file per first three digits (json/100.json …), each record
[_code, 都道府県, 市区町村, 町域, 番地, 事業所名, kana…]. Records with a 番地 or 事業所名 are the codes of
single businesses (Japan Post's other file), which the program does not carry. Prints the package's
own information record (its generator version and the dates of the data it was made from).
"""
import csv
import glob
import json
import os
import sys


def records(folder):
    for path in sorted(glob.glob(os.path.join(folder, "*.json"))):
        with open(path, encoding="utf-8") as f:
            text = f.read()
        yield from json.loads(text[text.index("(") + 1:text.rindex(")")])


def main():
    folder, output = sys.argv[1], sys.argv[2]
    info = ""
    count = 0
    with open(output, "w", encoding="utf-8", newline="") as out:
        writer = csv.writer(out, quoting=csv.QUOTE_ALL, lineterminator="\r\n")
        for r in records(folder):
            code = r[0].lstrip("_")
            if code == "000info":
                info = r[2]
                continue
            if len(code) != 7 or not code.isdigit() or r[4] or r[5] or not r[1] or not r[2]:
                continue
            # 全国地方公共団体コード, 旧郵便番号, 郵便番号, three readings, 都道府県, 市区町村, 町域, six flags
            writer.writerow(["", code[:3], code, r[6], r[7], r[8], r[1], r[2], r[3], 0, 0, 0, 0, 0, 0])
            count += 1
    if count == 0:
        sys.exit("no postal codes found in " + folder)
    print(info)


if __name__ == "__main__":
    main()
