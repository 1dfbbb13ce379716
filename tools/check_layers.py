#!/usr/bin/env python3
"""Fails when a library file includes a header of a layer above its own.

The layers, bottom to top: platform; text_primitives, containers, dates; files; definitions; strings;
search; corpus. A file may include headers of its own layer and of those below it. Front-ends (tools/,
python/, bench/, fuzz/) stand above them all and are not checked."""
import os
import re
import sys

RANK = {'platform': 0, 'text_primitives': 1, 'containers': 1, 'dates': 1, 'files': 2, 'definitions': 3,
        'strings': 4, 'search': 5, 'corpus': 6}
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]kx8rt/([a-z_]+)/([^">]+)[">]')

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
climbs = []
for layer, rank in RANK.items():
    folder = os.path.join(root, 'kx8rt', layer)
    if not os.path.isdir(folder):
        continue
    for name in sorted(os.listdir(folder)):
        if not name.endswith(('.h', '.cpp')):
            continue
        path = os.path.join(folder, name)
        with open(path, encoding='utf-8', errors='replace') as f:
            for number, line in enumerate(f, 1):
                m = INCLUDE.match(line)
                if m and m.group(1) in RANK and RANK[m.group(1)] > rank:
                    climbs.append(f'kx8rt/{layer}/{name}:{number}: {layer} includes {m.group(1)}/{m.group(2)}')
for c in climbs:
    print(c)
print(f'{len(climbs)} include(s) climbing the layers' if climbs else 'layers: every include stays at or below its layer')
sys.exit(1 if climbs else 0)
