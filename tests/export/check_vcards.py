#!/usr/bin/python3
"""Reads the vCards of an export folder with python3-vobject, an independent
vCard parser, and compares what it reads with the records they were written
from.

usage: check_vcards.py FOLDER EXPECTED_JSON

EXPECTED_JSON holds a list of objects, one per contact, with the keys
  FN (text), N (five parts), ORG (list of parts, [] for none), TITLE, NOTE,
  BDAY (text, "" for none), TEL, EMAIL, URL (lists of values), TEL_TYPES
  (list of TYPE lists, as sorted upper-case names), ADR (list of five-part
  lists: street, city, region, code, country), PHOTO (hex of the bytes, ""
  for none), DELETED (bool).
Every per-contact file must hold exactly one vCard 3.0; "All contacts.vcf"
must hold every card. Both sets must equal the expected list (in any order).
Exit status 0 when they do.
"""
import json
import os
import sys

import vobject

ALL_CONTACTS = "All contacts.vcf"


def texts(card, name):
    return [c.value for c in card.contents.get(name, [])]


def one_text(card, name):
    values = texts(card, name)
    if len(values) > 1:
        raise ValueError("%s appears %d times" % (name, len(values)))
    return values[0] if values else ""


def values_of(card):
    if card.version.value != "3.0":
        raise ValueError("version %r" % card.version.value)
    if "fn" not in card.contents or "n" not in card.contents:
        raise ValueError("FN and N are required")
    n = card.n.value
    org = card.org.value if "org" in card.contents else []
    if isinstance(org, str):
        org = [org]
    photos = card.contents.get("photo", [])
    if len(photos) > 1:
        raise ValueError("more than one PHOTO")
    photo = photos[0].value if photos else b""
    if isinstance(photo, str):
        raise ValueError("PHOTO is not decoded binary")
    bday = one_text(card, "bday")
    return {
        "FN": card.fn.value,
        "N": [n.family, n.given, n.additional, n.prefix, n.suffix],
        "ORG": list(org),
        "TITLE": one_text(card, "title"),
        "NOTE": one_text(card, "note"),
        "BDAY": bday,
        "TEL": texts(card, "tel"),
        "TEL_TYPES": [sorted(t.upper() for t in c.params.get("TYPE", []))
                      for c in card.contents.get("tel", [])],
        "EMAIL": texts(card, "email"),
        "URL": texts(card, "url"),
        "ADR": [[a.street, a.city, a.region, a.code, a.country]
                for a in texts(card, "adr")],
        "PHOTO": photo.hex(),
        "DELETED": one_text(card, "x-marlowen-deleted") == "TRUE",
    }


def read_cards(path):
    with open(path, "rb") as f:
        raw = f.read()
    for line in raw.split(b"\r\n"):
        if len(line) > 75:
            raise ValueError("a line of %d octets" % len(line))
    if raw and not raw.endswith(b"\r\n"):
        raise ValueError("the last line has no CR LF")
    return list(vobject.readComponents(raw.decode("utf-8")))


def compare(expected, found, what):
    key = lambda v: json.dumps(v, sort_keys=True, ensure_ascii=False)
    missing = sorted(map(key, expected), key=str)
    problems = []
    for v in map(key, found):
        if v in missing:
            missing.remove(v)
        else:
            problems.append("%s: read but not written: %s" % (what, v))
    problems += ["%s: not read back: %s" % (what, m) for m in missing]
    return problems


def main(folder, expected_path):
    with open(expected_path, encoding="utf-8") as f:
        expected = json.load(f)
    problems = []
    singles = []
    combined = []
    for file_name in sorted(os.listdir(folder)):
        if not file_name.endswith(".vcf"):
            continue
        try:
            cards = [values_of(c) for c in read_cards(os.path.join(folder, file_name))]
            if file_name == ALL_CONTACTS:
                combined = cards
            elif len(cards) != 1:
                raise ValueError("%d cards in the file" % len(cards))
            else:
                singles += cards
        except Exception as e:  # any parse failure is a finding
            problems.append("%r: %s" % (file_name, e))
    problems += compare(expected, singles, "per-contact files")
    problems += compare(expected, combined, ALL_CONTACTS)
    for p in problems:
        print(p)
    print("%d cards read, %d expected, %d problems" % (len(singles), len(expected), len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
