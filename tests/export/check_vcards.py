#!/usr/bin/python3
"""Reads every .vcf file of a folder with python3-vobject, an independent
vCard parser, and compares what it reads with the values the cards were
written from.

usage: check_vcards.py FOLDER EXPECTED_JSON

EXPECTED_JSON holds a list of objects with the keys N, ORG, EMAIL, TEL and
URL. Every file must hold exactly one vCard 3.0 with exactly the properties
VERSION, N, ORG, EMAIL, TEL and URL; the cards' values, taken together, must
equal the expected list (in any order). Exit status 0 when they do.
"""
import json
import os
import sys

import vobject

PROPERTIES = ["N", "ORG", "EMAIL", "TEL", "URL"]


def values_of(card):
    name = card.n.value
    # The whole display name is written as the family part of N.
    if (name.given, name.additional, name.prefix, name.suffix) != ("", "", "", ""):
        raise ValueError("N has more than one part: %r" % (name,))
    org = card.org.value
    if len(org) != 1:
        raise ValueError("ORG has more than one part: %r" % (org,))
    return {
        "N": name.family,
        "ORG": org[0],
        "EMAIL": card.email.value,
        "TEL": card.tel.value,
        "URL": card.url.value,
    }


def main(folder, expected_path):
    with open(expected_path, encoding="utf-8") as f:
        expected = json.load(f)
    problems = []
    found = []
    for file_name in sorted(os.listdir(folder)):
        if not file_name.endswith(".vcf"):
            continue
        path = os.path.join(folder, file_name)
        try:
            with open(path, "rb") as f:
                text = f.read().decode("utf-8")
            cards = list(vobject.readComponents(text))
            if len(cards) != 1:
                raise ValueError("%d cards in the file" % len(cards))
            card = cards[0]
            names = sorted(child.name for child in card.getChildren())
            if names != sorted(["VERSION"] + PROPERTIES):
                raise ValueError("properties %r" % names)
            if card.version.value != "3.0":
                raise ValueError("version %r" % card.version.value)
            found.append(values_of(card))
        except Exception as e:  # any parse failure is a finding
            problems.append("%r: %s" % (file_name, e))

    key = lambda v: json.dumps(v, sort_keys=True)
    missing = sorted(map(key, expected), key=str)
    extra = []
    for v in map(key, found):
        if v in missing:
            missing.remove(v)
        else:
            extra.append(v)
    problems += ["not read back: " + m for m in missing]
    problems += ["read but not written: " + e for e in extra]
    for p in problems:
        print(p)
    print("%d cards read, %d expected, %d problems" % (len(found), len(expected), len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
