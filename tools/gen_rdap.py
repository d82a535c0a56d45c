#!/usr/bin/env python3
"""Build the RDAP table app/data/rdap.dat from IANA's RDAP bootstrap data.

Usage:
    gen_rdap.py [TSV] [-o OUT]      write the table
    gen_rdap.py [TSV] --check       verify that OUT is up to date (exit 1 if not)

TSV defaults to ../shared/data/tld-rdap.tsv and OUT to app/data/rdap.dat, both
relative to the repository's root. rdap.dat follows the line rules of Doms.dat:
records of two lines (the domain as Doms.dat writes it, the RDAP base URL as the
bootstrap data gives it), each line ended by CR LF, ASCII only.
"""

import argparse
import os
import sys

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_TSV = os.path.join(REPO, "..", "shared", "data", "tld-rdap.tsv")
DEFAULT_OUT = os.path.join(REPO, "app", "data", "rdap.dat")


def build(tsv_path):
    """The table's bytes and its record count; raises ValueError on a bad row."""
    out, count = [], 0
    with open(tsv_path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            fields = line.split("\t")
            if len(fields) != 2:
                raise ValueError("%s:%d: expected tld and rdap_base_url" % (tsv_path, number))
            tld, url = fields
            if (not tld or tld != tld.lower() or not tld.isascii() or " " in tld
                    or not url.isascii() or not url.startswith(("https://", "http://"))
                    or any(c in url for c in "\r\n\x1a ")):
                raise ValueError("%s:%d: unusable row %r" % (tsv_path, number, line))
            out.append("%s\r\n%s\r\n" % (tld, url))
            count += 1
    return "".join(out).encode("ascii"), count


def main(argv=None):
    parser = argparse.ArgumentParser(description="Build app/data/rdap.dat.")
    parser.add_argument("tsv", nargs="?", default=DEFAULT_TSV)
    parser.add_argument("-o", "--output", default=DEFAULT_OUT)
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args(argv)
    try:
        data, count = build(args.tsv)
    except (OSError, ValueError) as e:
        print("gen_rdap: %s" % e, file=sys.stderr)
        return 2
    if args.check:
        try:
            with open(args.output, "rb") as f:
                same = f.read() == data
        except OSError:
            same = False
        print("gen_rdap: %s is %s" % (args.output, "up to date" if same else "out of date"))
        return 0 if same else 1
    with open(args.output, "wb") as f:
        f.write(data)
    print("gen_rdap: wrote %d records to %s" % (count, args.output))
    return 0


if __name__ == "__main__":
    sys.exit(main())
