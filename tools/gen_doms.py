#!/usr/bin/env python3
"""Build the domain table app/data/Doms.dat from the top-level domain list.

Usage:
    gen_doms.py [TSV] [-o OUT]      write the table
    gen_doms.py [TSV] --check       verify that OUT is up to date (exit 1 if not)

TSV defaults to ../shared/data/tld-whois.tsv and OUT to app/data/Doms.dat, both
relative to the repository's root (the parent of this script's directory).

Doms.dat is read by the program as 8-bit text: records of three lines (domain
without its full stop, country or area, whois server or empty), each line
ended by CR LF, in the Windows ANSI code page 1252. A CR ends a line wherever
it stands and a Ctrl-Z ends the data, so neither may appear inside a field;
the domain line is compared byte for byte and must carry no blanks.
"""

import argparse
import os
import sys
import unicodedata

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_TSV = os.path.join(REPO, "..", "shared", "data", "tld-whois.tsv")
DEFAULT_OUT = os.path.join(REPO, "app", "data", "Doms.dat")

ENCODING = "cp1252"
EOL = b"\r\n"

# What the country/area line says for domains that belong to no country.
KIND_TEXT = {
    "generic": "Generic top-level domain",
    "sponsored": "Sponsored top-level domain",
    "restricted-generic": "Restricted generic top-level domain",
    "infrastructure": "Infrastructure top-level domain",
}

# Letters that Unicode decomposition does not reduce to ASCII.
SPECIAL_FALLBACK = {
    "\u0110": "D", "\u0111": "d",  # D with stroke
    "\u0126": "H", "\u0127": "h",  # H with stroke
    "\u0131": "i",                 # dotless i
    "\u0141": "L", "\u0142": "l",  # L with stroke
    "\u0166": "T", "\u0167": "t",  # T with stroke
    "\u014A": "N", "\u014B": "n",  # eng
    "\u2010": "-", "\u2011": "-", "\u2012": "-", "\u2212": "-",
    "\u2032": "'", "\u02BB": "'", "\u02BC": "'",
}


class TableError(Exception):
    pass


def to_ansi(text, replaced):
    """Encode text in cp1252; characters outside it get an ASCII fallback.

    Each substituted character is recorded in `replaced` as (original, fallback).
    Control characters (which include CR, LF and Ctrl-Z) become blanks, runs
    of blanks shrink to one, and the result has no blanks at either end.
    """
    out = []
    for ch in text:
        if ord(ch) < 0x20 or 0x7F <= ord(ch) < 0xA0:
            out.append(" ")
            continue
        try:
            ch.encode(ENCODING)
            out.append(ch)
            continue
        except UnicodeEncodeError:
            pass
        if ch in SPECIAL_FALLBACK:
            sub = SPECIAL_FALLBACK[ch]
        else:
            decomposed = unicodedata.normalize("NFKD", ch)
            sub = "".join(c for c in decomposed if not unicodedata.combining(c))
            try:
                sub.encode(ENCODING)
            except UnicodeEncodeError:
                sub = "?"
            if not sub:
                sub = "?"
        replaced.append((ch, sub))
        out.append(sub)
    result = " ".join(part for part in "".join(out).split(" ") if part)
    data = result.encode(ENCODING)
    assert all(b >= 0x20 for b in data)
    return data


def read_tsv(path):
    """Return the rows of the list as dicts, in file order."""
    with open(path, "r", encoding="utf-8", newline="") as f:
        lines = f.read().splitlines()
    if not lines or not lines[0].startswith("#"):
        raise TableError("%s: missing '# tld ...' header line" % path)
    columns = [c.strip() for c in lines[0].lstrip("#").split("\t")]
    for needed in ("tld", "kind", "whois_server", "country_or_area"):
        if needed not in columns:
            raise TableError("%s: no column %r" % (path, needed))
    rows = []
    for number, line in enumerate(lines[1:], start=2):
        if not line.strip() or line.startswith("#"):
            continue
        fields = line.split("\t")
        if len(fields) != len(columns):
            raise TableError("%s:%d: %d fields, expected %d"
                             % (path, number, len(fields), len(columns)))
        row = dict(zip(columns, fields))
        row["_line"] = number
        rows.append(row)
    return rows


def ascii_field(value, what, row):
    value = value.strip()
    if not value.isascii() or any(ord(c) <= 0x20 or ord(c) == 0x7F for c in value):
        raise TableError("line %d: %s %r is not a plain ASCII name"
                         % (row["_line"], what, value))
    return value.encode("ascii")


def build(rows, replaced):
    """Return the bytes of Doms.dat for the given rows."""
    out = bytearray()
    seen = set()
    for row in rows:
        domain = ascii_field(row["tld"], "domain", row).lower()
        if not domain:
            raise TableError("line %d: empty domain" % row["_line"])
        if domain in seen:
            raise TableError("line %d: domain %s listed twice"
                             % (row["_line"], domain.decode()))
        seen.add(domain)
        kind = row["kind"].strip()
        country = row["country_or_area"].strip()
        if kind == "cctld":
            if not country:
                raise TableError("line %d: country code %s without a country"
                                 % (row["_line"], domain.decode()))
            area = to_ansi(country, replaced)
        elif kind in KIND_TEXT:
            area = KIND_TEXT[kind].encode(ENCODING)
        else:
            raise TableError("line %d: unknown kind %r" % (row["_line"], kind))
        server = ascii_field(row["whois_server"], "whois server", row)
        out += domain + EOL + area + EOL + server + EOL
    return bytes(out)


def count_records(data):
    """Count records the way the program reads the table."""
    end = data.find(b"\x1a")
    if end >= 0:
        data = data[:end]
    lines = 0
    i = 0
    while i < len(data):
        cr = data.find(b"\r", i)
        if cr < 0:
            i = len(data)
        else:
            i = cr + 1
            if i < len(data) and data[i:i + 1] == b"\n":
                i += 1
        lines += 1
    return (lines + 2) // 3


def main(argv=None):
    parser = argparse.ArgumentParser(description="Build app/data/Doms.dat.")
    parser.add_argument("tsv", nargs="?", default=DEFAULT_TSV,
                        help="top-level domain list (default: %(default)s)")
    parser.add_argument("-o", "--output", default=DEFAULT_OUT,
                        help="table to write (default: %(default)s)")
    parser.add_argument("--check", action="store_true",
                        help="verify the table instead of writing it")
    args = parser.parse_args(argv)

    try:
        rows = read_tsv(args.tsv)
        replaced = []
        data = build(rows, replaced)
    except (OSError, TableError) as e:
        print("gen_doms: %s" % e, file=sys.stderr)
        return 2

    if args.check:
        try:
            with open(args.output, "rb") as f:
                current = f.read()
        except OSError as e:
            print("gen_doms: %s" % e, file=sys.stderr)
            return 1
        records = count_records(current)
        ok = True
        if records != len(rows):
            print("gen_doms: %s holds %d records, the list has %d rows"
                  % (args.output, records, len(rows)), file=sys.stderr)
            ok = False
        if current != data:
            print("gen_doms: %s is out of date; run tools/gen_doms.py"
                  % args.output, file=sys.stderr)
            ok = False
        if ok:
            print("gen_doms: %s is up to date (%d records)" % (args.output, records))
        return 0 if ok else 1

    os.makedirs(os.path.dirname(os.path.abspath(args.output)), exist_ok=True)
    with open(args.output, "wb") as f:
        f.write(data)
    print("gen_doms: wrote %d records to %s" % (len(rows), args.output))
    for original, fallback in sorted(set(replaced)):
        print("gen_doms: U+%04X %r written as %r" % (ord(original), original, fallback))
    return 0


if __name__ == "__main__":
    sys.exit(main())
