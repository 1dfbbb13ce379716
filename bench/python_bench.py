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

import pandas as pd

import kx8

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
    started = time.perf_counter()
    result = f(*args, **kwargs)
    return time.perf_counter() - started, result


def counter_baseline(path: Path) -> collections.Counter:
    text = path.read_text(encoding="utf-8", errors="replace").lower()
    counts = collections.Counter(re.split(r"\W+", text))
    counts.pop("", None)
    return counts


def main() -> int:
    whole, shards = corpus()
    mb = whole.stat().st_size / 1e6
    print(f"corpus: {mb:.1f} MB ({REPEATS} copies of {LICENCES})")

    t_kx8, words = timed(kx8.wordlist, whole)
    t_counter, counts = timed(counter_baseline, whole)
    ratio = t_counter / t_kx8
    print(f"kx8.wordlist                 {t_kx8:7.2f} s  {mb / t_kx8:7.1f} MB/s  {words.attrs['tokens']:,} tokens, "
          f"{len(words):,} types")
    print(f"Counter(re.split(r'\\W+'))    {t_counter:7.2f} s  {mb / t_counter:7.1f} MB/s  {sum(counts.values()):,} "
          f"tokens, {len(counts):,} types")
    print(f"kx8.wordlist is {ratio:.1f}x the speed of the Counter baseline (wanted: at least 5x)")

    import distributed

    import kx8.dask

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
    return 0 if ratio >= 5 else 1


if __name__ == "__main__":
    sys.exit(main())
