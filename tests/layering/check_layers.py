#!/usr/bin/env python3
"""Checks the core's layers against the link graph CMake generated.

Each line of the graph is: layer, its direct link libraries (';'-separated,
as CMake lists them), and its archive (empty for a header-only layer).
Fails when a core file includes a header of a layer its library does not
reach, when a core library links Qt, or when a core archive or the
command-line program (core only) refers to Qt.
"""
import argparse
import pathlib
import re
import subprocess
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"core/([a-z_]+)/', re.M)
QT_SYMBOL = re.compile(r'\bQ[A-Z][A-Za-z]+::|\bqt_')


def read_graph(path):
    layers = {}
    for line in pathlib.Path(path).read_text().splitlines():
        if not line.strip():
            continue
        name, links, archive = (line.split('\t') + ['', ''])[:3]
        layers[name] = ([l for l in links.split(';') if l], archive)
    return layers


def reach(layers, name, seen=None):
    seen = set() if seen is None else seen
    for link in layers[name][0]:
        if link.startswith('marlowen_'):
            below = link[len('marlowen_'):]
            if below in layers and below not in seen:
                seen.add(below)
                reach(layers, below, seen)
    return seen


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--graph', required=True)
    ap.add_argument('--src', required=True)
    ap.add_argument('--program', required=True)
    args = ap.parse_args()
    layers = read_graph(args.graph)
    src = pathlib.Path(args.src)
    problems = []

    folders = {p.name for p in src.iterdir() if p.is_dir()}
    for folder in sorted(folders - set(layers)):
        problems.append(f'core/{folder} is not a layer of its own')

    for name in layers:
        allowed = reach(layers, name) | {name}
        for f in sorted((src / name).glob('*')):
            if f.suffix not in ('.h', '.cpp'):
                continue
            for used in INCLUDE.findall(f.read_text(errors='replace')):
                if used not in allowed:
                    problems.append(f'{f.relative_to(src)} includes core/{used}, '
                                    f'which marlowen_{name} does not link')
        for link in layers[name][0]:
            if 'Qt' in link:
                problems.append(f'marlowen_{name} links {link}')

    for name, (_, archive) in layers.items():
        if not archive:
            continue
        undefined = subprocess.run(['nm', '-uC', archive], capture_output=True,
                                   text=True, check=True).stdout
        for line in undefined.splitlines():
            if QT_SYMBOL.search(line):
                problems.append(f'marlowen_{name} refers to Qt: {line.strip()}')
                break

    needed = subprocess.run(['ldd', args.program], capture_output=True, text=True).stdout
    for line in needed.splitlines():
        if 'libQt' in line:
            problems.append(f'{pathlib.Path(args.program).name} loads {line.split()[0]}')

    for p in problems:
        print(p)
    print(f'{len(layers)} layers checked, {len(problems)} problems')
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
