"""Corpora larger than one machine: word lists and concordances over a folder of shards with Dask.

A corpus is split into shards, the entries of one folder (files, or folders of texts), each reachable
at the same path from every worker (a shared or replicated file system).  One task a shard runs
:func:`kx8.wordlist` or :func:`kx8.concord` where the shard lies; the word lists are merged by summing
(:func:`kx8.merge_wordlists`) and the concordance lines concatenated in shard order, so that the result
equals one process over all the shards::

    from dask.distributed import Client
    import kx8.dask

    client = Client("scheduler:8786")            # or Client(LocalCluster(n_workers=4))
    words = kx8.dask.wordlist("/corpus/shards", client=client, recurse=True)
    lines = kx8.dask.concord("bank*", "/corpus/shards", client=client, recurse=True)

Without a client, Dask's default scheduler runs the tasks (threads: the library releases the
interpreter's lock while it works).
"""

from __future__ import annotations

import os
from typing import Sequence, Union

import dask
import pandas as pd

import kx8

__all__ = ["shards", "wordlist", "concord"]

ShardsLike = Union[str, "os.PathLike[str]", Sequence[Union[str, "os.PathLike[str]"]]]


def shards(folder: str | os.PathLike) -> list[str]:
    """The shards of a corpus folder: its entries (files and folders) in name order, hidden ones left out."""
    folder = os.fspath(folder)
    if not os.path.isdir(folder):
        raise NotADirectoryError(20, "Not a folder of shards", folder)
    return [os.path.join(folder, n) for n in sorted(os.listdir(folder)) if not n.startswith(".")]


def _shard_list(where: ShardsLike) -> list[str]:
    if isinstance(where, (str, os.PathLike)):
        return shards(where)
    return [os.fspath(s) for s in where]


def _run(tasks: list, client) -> list:
    if client is None:
        return list(dask.compute(*tasks))
    return client.gather(client.compute(tasks))


def wordlist(where: ShardsLike, *, client=None, **options) -> pd.DataFrame:
    """The word list of all the shards (a folder of them, or a list of shard paths in order): one
    :func:`kx8.wordlist` task a shard, merged by summing.  Takes the options of :func:`kx8.wordlist`;
    equal to ``kx8.wordlist(shards, **options)``.
    """
    parts = _shard_list(where)
    if not parts:
        raise ValueError("no shards")
    order = options.get("order", "frequency")
    tasks = [dask.delayed(kx8.wordlist, pure=False)(p, **options) for p in parts]
    return kx8.merge_wordlists(_run(tasks, client), order=order)


def concord(word: str, where: ShardsLike, *, client=None, **options) -> pd.DataFrame:
    """The concordance of ``word`` in all the shards: one :func:`kx8.concord` task a shard, the lines
    concatenated in shard order.  Takes the options of :func:`kx8.concord`; equal to
    ``kx8.concord(word, shards, **options)`` (with ``max_hits``, the first hits of the whole corpus).
    """
    parts = _shard_list(where)
    if not parts:
        raise ValueError("no shards")
    tasks = [dask.delayed(kx8.concord, pure=False)(word, p, **options) for p in parts]
    frames = _run(tasks, client)
    lines = pd.concat(frames, ignore_index=True)
    max_hits = options.get("max_hits")
    if max_hits is not None:
        lines = lines.iloc[:max_hits].reset_index(drop=True)
    lines.attrs = {"hits": len(lines)}
    for key in ("texts", "texts_searched", "characters", "words"):
        lines.attrs[key] = sum(int(f.attrs.get(key, 0)) for f in frames)
    for key in ("problems", "skipped", "unreadable"):
        lines.attrs[key] = [x for f in frames for x in f.attrs.get(key, [])]
    return lines
