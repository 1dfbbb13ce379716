#!/usr/bin/env python3
"""Writes kx8rt/kx8rt.h: every public header of every subsystem, in the subsystem order."""
import glob
import os

ORDER = ['platform', 'text_primitives', 'containers', 'search', 'strings', 'definitions', 'files', 'dates', 'corpus']
INTERNAL = {'kx8rt/platform/messages_table.h'}  # an X-macro table, included by messages.h

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
os.chdir(root)
out = ['// Umbrella header: includes every public header of the KX8 run-time library.',
       '// Written by tools/gen_umbrella.py.', '#pragma once', '']
for sub in ORDER:
    headers = sorted(h for h in glob.glob(f'kx8rt/{sub}/*.h') if h not in INTERNAL and not h.endswith('_internal.h'))
    if headers:
        out.append(f'// {sub.replace("_", " ")}')
        out += [f'#include "{h}"' for h in headers]
        out.append('')
with open('kx8rt/kx8rt.h', 'w') as f:
    f.write('\n'.join(out))
