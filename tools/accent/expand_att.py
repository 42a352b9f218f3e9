#!/usr/bin/env python3
"""Lists every surface form of a letter transducer with its analyses.

Reads the text print of a compiled morphological analyser (`lt-print` of
Debian's apertium-hbs-slv `slv-hbs.automorf.bin`) and writes one line per
path: surface form, a tab, lemma with tags ("hiše\thiša<n><f><sg><gen>").
Paths that loop are cut (the analyser has none in its word sections).
"""
import sys
from collections import defaultdict


def sections(lines):
    cur = []
    for line in lines:
        if line.startswith('--'):
            yield cur
            cur = []
        else:
            cur.append(line.rstrip('\n'))
    yield cur


def expand(section, out):
    arcs = defaultdict(list)
    finals = set()
    for line in section:
        f = line.split('\t')
        if len(f) <= 2:
            finals.add(f[0])
        else:
            arcs[f[0]].append((f[1], f[2], f[3]))
    if not arcs:
        return
    stack = [('0', '', '', frozenset())]
    while stack:
        state, surf, ana, seen = stack.pop()
        if state in finals and surf and ana:
            out.write(f'{surf}\t{ana}\n')
        for nxt, a, b in arcs.get(state, ()):
            if nxt in seen:
                continue
            stack.append((nxt, surf + ('' if a == 'ε' else a),
                          ana + ('' if b == 'ε' else b), seen | {state}))


def main():
    for sec in sections(sys.stdin):
        expand(sec, sys.stdout)


if __name__ == '__main__':
    main()
