"""Whole-corpus timings of the Python module (a benchmark, not a test).

1. kx8.wordlist over a ~109 MB corpus (the licence texts of the system, concatenated and repeated 360
   times) against collections.Counter over a regex split of the same file, in the same run; the library
   must be at least 5 times faster.
2. kx8.dask.wordlist and kx8.dask.concord over the same text in 8 shards on a local Dask cluster,
   against one process over the same shards: the overhead of the tasks and the merging.

Run with the built package on the path:  PYTHONPATH=build/bench/python python3 bench/python_bench.py
"""

import collections
import logging
import os
import re
import sys
import time
from pathlib import Path

import distributed
import pandas as pd

import kx8
import kx8.dask

LICENCES = Path("/usr/share/common-licenses")
REPEATS = 360
SHARDS = 8
WORK = Path(os.environ.get("KX8_BENCH_DIR", "/tmp/kx8_python_bench"))


def corpus() -> tuple[Path, list[str]]:
    """The corpus as one file and as 8 shards of it, made once and kept for later runs."""
    texts = [p.read_bytes() for p in sorted(LICENCES.iterdir()) if p.is_file()]
    once = b"".join(texts)
    whole = WORK / "licences.txt"
    shard_dir = WORK / "shards"
    if not whole.exists() or whole.stat().st_size != len(once) * REPEATS:
        WORK.mkdir(parents=True, exist_ok=True)
        whole.write_bytes(once * REPEATS)
        shard_dir.mkdir(exist_ok=True)
        for k in range(SHARDS):
            (shard_dir / f"shard{k}.txt").write_bytes(once * (REPEATS // SHARDS))
    return whole, [str(shard_dir / f"shard{k}.txt") for k in range(SHARDS)]


def timed(f, *args, **kwargs):
    """Wall-clock seconds (what a user waits) of a call and its result."""
    started = time.perf_counter()
    result = f(*args, **kwargs)
    return time.perf_counter() - started, result


def timed_both(f, *args, **kwargs):
    """Wall-clock and CPU seconds (of every thread of the process) of a call, and its result. On a
    machine shared with other work the CPU time is the steadier figure."""
    wall, cpu = time.perf_counter(), time.process_time()
    result = f(*args, **kwargs)
    return time.perf_counter() - wall, time.process_time() - cpu, result


def counter_baseline(path: Path) -> collections.Counter:
    text = path.read_text(encoding="utf-8", errors="replace").lower()
    counts = collections.Counter(re.split(r"\W+", text))
    counts.pop("", None)
    return counts


def main() -> int:
    whole, shards = corpus()
    mb = whole.stat().st_size / 1e6
    print(f"corpus: {mb:.1f} MB ({REPEATS} copies of {LICENCES})")

    w1, c1, words = timed_both(kx8.wordlist, whole)
    wn, cn, words_n = timed_both(kx8.wordlist, whole, workers=0)
    wc, cc, counts = timed_both(counter_baseline, whole)
    pd.testing.assert_frame_equal(words_n, words)
    print(f"{'':32} {'wall':>8} {'CPU':>8} {'MB/s (wall)':>12}")
    for name, w, c in ((f"kx8.wordlist", w1, c1), (f"kx8.wordlist(workers=0), {os.cpu_count()} cores", wn, cn),
                       ("Counter(re.split(r'\\W+'))", wc, cc)):
        print(f"{name:32} {w:7.2f}s {c:7.2f}s {mb / w:12.1f}")
    print(f"kx8: {words.attrs['tokens']:,} tokens, {len(words):,} types; Counter: {sum(counts.values()):,} tokens, "
          f"{len(counts):,} types (its split takes '_' and digits into words, and does not join \"don't\" or \"3,000\")")
    ratio_cpu, ratio_wall = cc / c1, wc / min(w1, wn)
    print(f"kx8.wordlist against the Counter baseline: {ratio_cpu:.1f}x in CPU time on one thread, "
          f"{ratio_wall:.1f}x in wall time at its best (wanted: at least 5x)")

    t_single, single = timed(kx8.wordlist, shards)
    t_lines1, lines1 = timed(kx8.concord, "licen*", shards)
    workers = min(SHARDS, os.cpu_count() or 2)
    with distributed.LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, dashboard_address=None,
                                  silence_logs=logging.ERROR) as cluster, distributed.Client(cluster) as client:
        client.run(lambda: __import__("kx8"))  # the workers' start-up is not what is measured
        t_dask, spread = timed(kx8.dask.wordlist, shards, client=client)
        t_lines8, lines8 = timed(kx8.dask.concord, "licen*", shards, client=client)
    pd.testing.assert_frame_equal(spread, single)
    pd.testing.assert_frame_equal(lines8, lines1)
    print(f"{SHARDS} shards, Dask LocalCluster of {workers} worker processes on {os.cpu_count()} cores:")
    print(f"  word list:   one process {t_single:6.2f} s, Dask {t_dask:6.2f} s, overhead {t_dask - t_single:+6.2f} s "
          f"({100 * (t_dask / t_single - 1):+.0f}%)")
    print(f"  concordance: one process {t_lines1:6.2f} s, Dask {t_lines8:6.2f} s, overhead {t_lines8 - t_lines1:+6.2f} s "
          f"({100 * (t_lines8 / t_lines1 - 1):+.0f}%), {len(lines1):,} lines")
    return 0 if max(ratio_cpu, ratio_wall) >= 5 else 1


if __name__ == "__main__":
    sys.exit(main())
