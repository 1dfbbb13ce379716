"""Concordances and word lists of corpora, from Python.

The library's corpus pipeline (choosing texts under folders and zip archives, recognising their
encodings, the search notation, the word rule) as functions that return pandas DataFrames::

    import kx8
    lines = kx8.concord("bank*", ["corpus/"], recurse=True)
    words = kx8.wordlist(["corpus/"], recurse=True)
    print(lines[["file", "left", "node", "right"]].head())
    print(words.head(20))

The interpreter's lock is released while the library works, so several threads (or Dask tasks) can
search at once.  Errors of the search notation and unreadable search, lemma or stop files raise
:class:`Kx8Error` with the library's message; a path that does not exist raises FileNotFoundError.
Texts that were skipped and folders that could not be walked are listed in ``DataFrame.attrs`` and
reported as :class:`Kx8Warning` when they could not be read.

Positions (``pos``) are 0-based.  In :func:`search`, over a str, they count Python characters, so
that ``text[pos:pos + len(node)] == node``; in :func:`concord` and :func:`iconcord`, over files, they
count the UTF-16 units of the decoded text (the same for texts without characters beyond the Basic
Multilingual Plane), as the command-line tool shows them less one.
"""

from __future__ import annotations

import os
import warnings
from collections import namedtuple
from typing import Iterable, Iterator, Sequence, Union

import numpy as np
import pandas as pd

from ._kx8 import Kx8Error, _compare, _concord, _ConcordStream, _merge_wordlists, _search, _wordlist

__all__ = [
    "Kx8Error",
    "Kx8Warning",
    "Hit",
    "CONCORDANCE_COLUMNS",
    "concord",
    "iconcord",
    "search",
    "wordlist",
    "merge_wordlists",
    "compare",
]

Kx8Error.__doc__ = "An error the library reports: a search it cannot parse, a file it cannot read."
Kx8Error.__module__ = "kx8"


class Kx8Warning(UserWarning):
    """A text or folder that could not be read; the rest was still searched or counted."""


#: The columns of a concordance, in order (``search`` has no ``file``).
CONCORDANCE_COLUMNS = ("file", "pos", "percent", "word", "sentence", "paragraph", "left", "node", "right")

#: One concordance line as :func:`iconcord` yields it.
Hit = namedtuple("Hit", CONCORDANCE_COLUMNS)

PathsLike = Union[str, "os.PathLike[str]", Iterable[Union[str, "os.PathLike[str]"]]]


# ---- arguments ----


def _paths(paths: PathsLike) -> list[bytes]:
    """The paths as the file system's bytes; a path that does not exist raises FileNotFoundError."""
    if isinstance(paths, (str, bytes, os.PathLike)):
        paths = [paths]
    out = []
    for p in paths:
        p = os.fspath(p)
        if not os.path.exists(p):
            raise FileNotFoundError(2, "No such file or folder", p)
        out.append(os.fsencode(p))
    if not out:
        raise ValueError("no paths given")
    return out


def _choice(mask, recurse, zips, exclude_dirs, exclude_exts, hidden, codepage, middle_chars) -> dict:
    if not 0 <= int(codepage) <= 65535:
        raise ValueError(f"codepage must be 0..65535, not {codepage}")
    return dict(mask=mask, recurse=bool(recurse), zips=bool(zips), exclude_dirs=exclude_dirs,
                exclude_exts=exclude_exts, hidden=bool(hidden), codepage=int(codepage), middle_chars=middle_chars)


def _concordance_options(case_sensitive, max_hits, context, span, context_words, exclusion_words, skip_punctuation,
                         search_file, lemma_file, stop_file, workers, choice) -> dict:
    if isinstance(context_words, str):
        context_words = [context_words]
    if isinstance(exclusion_words, str):
        exclusion_words = [exclusion_words]
    if max_hits is not None and max_hits < 0:
        raise ValueError("max_hits must be at least 0 (None: all)")
    if not 0 <= context <= 10000:
        raise ValueError("context must be 0..10000 characters")
    o = dict(choice, case_sensitive=bool(case_sensitive), max_hits=max_hits, context=int(context), span=int(span),
             context_words=list(context_words or ()), exclusion_words=list(exclusion_words or ()),
             skip_punctuation=bool(skip_punctuation), workers=int(workers))
    for key, value in (("search_file", search_file), ("lemma_file", lemma_file), ("stop_file", stop_file)):
        if value is not None:
            o[key] = os.fspath(value)
    return o


def _report(notes: dict, stacklevel: int) -> None:
    """Warns of what could not be read, pointing at the caller's line (stacklevel frames up)."""
    for path, why in notes["problems"]:
        warnings.warn(f"{path}: {why}", Kx8Warning, stacklevel=stacklevel)
    unreadable = set(notes["unreadable"])
    for name, why in notes["skipped"]:
        if name in unreadable:
            warnings.warn(f"{name} not read: {why}", Kx8Warning, stacklevel=stacklevel)


def _frame(columns: dict, notes: dict) -> pd.DataFrame:
    for c in ("file", "left", "node", "right"):  # str columns stay object columns when empty
        if c in columns:
            columns[c] = pd.Series(columns[c], dtype=object)
    frame = pd.DataFrame(columns)
    frame.attrs.update(notes)
    _report(notes, 4)
    return frame


# ---- concordances ----


def concord(word: str, paths: PathsLike, *, case_sensitive: bool = False, max_hits: int | None = None,
            context: int = 40, span: int = 5, context_words: Sequence[str] | str | None = None,
            exclusion_words: Sequence[str] | str | None = None, skip_punctuation: bool = False,
            search_file=None, lemma_file=None, stop_file=None, workers: int = 1, mask: str = "*",
            recurse: bool = False, zips: bool = False, exclude_dirs: str = "", exclude_exts: str = "",
            hidden: bool = False, codepage: int = 0, middle_chars: str = "'\u2019") -> pd.DataFrame:
    """Every hit of ``word`` (the search notation: alternatives ``a/b``, wildcards ``* ? ^ #``,
    ``==Case==``, ``<tags>``, ``"w context:=x"``) in the texts under ``paths``, in the order of the texts.

    Returns a DataFrame with the columns of :data:`CONCORDANCE_COLUMNS`: file (str), pos (int64, 0-based
    UTF-16 position in the text), percent (float64, where in the text, 0..100), word, sentence,
    paragraph (int64, 1-based numbers), left, node, right (str, ``context`` characters of context each
    side).  ``attrs`` holds the run's totals (hits, texts, texts_searched, characters, words, stopped)
    and the texts skipped and paths that could not be walked.

    Options: ``case_sensitive``; ``max_hits`` (the first N in the corpus's order); ``context`` (characters
    each side); ``context_words``/``exclusion_words`` within ``span`` words; ``skip_punctuation`` between
    the words of a phrase; ``search_file``, ``lemma_file``, ``stop_file``; ``workers`` (texts searched at
    once, 0: the machine's cores; the result is the same); which texts: ``mask`` ("*.txt;*.xml"),
    ``recurse``, ``zips``, ``exclude_dirs``, ``exclude_exts``, ``hidden``; ``codepage`` of 8-bit texts
    that are not UTF-8 (0: Windows-1252); ``middle_chars`` kept inside words.

    Raises :class:`Kx8Error` for a search the library cannot parse or an unreadable search, lemma or
    stop file, FileNotFoundError for a path that does not exist.
    """
    choice = _choice(mask, recurse, zips, exclude_dirs, exclude_exts, hidden, codepage, middle_chars)
    o = _concordance_options(case_sensitive, max_hits, context, span, context_words, exclusion_words,
                             skip_punctuation, search_file, lemma_file, stop_file, workers, choice)
    columns, notes = _concord(word, _paths(paths), o)
    return _frame(columns, notes)


def iconcord(word: str, paths: PathsLike, *, batch: int = 10000, **options) -> Iterator[Hit]:
    """The lines of :func:`concord` one :class:`Hit` at a time, for results too large to hold: the search
    runs in a thread of its own, at most a few batches of ``batch`` lines ahead of the reader, and stops
    when the iterator is closed or dropped.  Takes the options of :func:`concord`.

    A bad search raises :class:`Kx8Error` at the call, not at the first line.
    """
    allowed = concord.__kwdefaults__
    unknown = set(options) - set(allowed)
    if unknown:
        raise TypeError(f"iconcord() got unexpected keyword arguments: {', '.join(sorted(unknown))}")
    given = dict(allowed, **options)
    choice = _choice(*(given[k] for k in ("mask", "recurse", "zips", "exclude_dirs", "exclude_exts", "hidden",
                                          "codepage", "middle_chars")))
    o = _concordance_options(*(given[k] for k in ("case_sensitive", "max_hits", "context", "span", "context_words",
                                                  "exclusion_words", "skip_punctuation", "search_file",
                                                  "lemma_file", "stop_file", "workers")), choice)
    stream = _ConcordStream(word, _paths(paths), o, int(batch))
    return _lines(stream)


def _lines(stream) -> Iterator[Hit]:
    try:
        while True:
            columns = stream.next()
            if columns is None:
                break
            yield from map(Hit._make, zip(*(columns[c] for c in CONCORDANCE_COLUMNS)))
        _report(stream.notes(), 3)
    finally:
        stream.close()


def search(text: str, word: str, *, case_sensitive: bool = False, max_hits: int | None = None, context: int = 40,
           span: int = 5, context_words: Sequence[str] | str | None = None,
           exclusion_words: Sequence[str] | str | None = None, skip_punctuation: bool = False,
           middle_chars: str = "'\u2019") -> pd.DataFrame:
    """Every hit of ``word`` in ``text``, a str held in memory (nothing is written to disk), as
    :func:`concord` finds it in a file: the same columns without ``file``.

    ``pos`` is the 0-based position in Python characters, so that ``text[pos:pos + len(node)] == node``
    also when the text holds characters beyond the Basic Multilingual Plane (emoji, historic scripts).
    ``percent`` is where in the text the hit lies, 0..100.
    """
    if not isinstance(text, str):
        raise TypeError(f"text must be a str, not {type(text).__name__}")
    choice = _choice("*", False, False, "", "", False, 0, middle_chars)
    o = _concordance_options(case_sensitive, max_hits, context, span, context_words, exclusion_words,
                             skip_punctuation, None, None, None, 1, choice)
    columns, notes = _search(text, word, o)
    return _frame(columns, notes)


# ---- word lists ----

_WORDLIST_ORDERS = {"frequency": True, "alpha": False}


def _wordlist_frame(words, freq, tokens: int, notes: dict) -> pd.DataFrame:
    freq = np.asarray(freq, dtype=np.int64)
    percent = freq * (100.0 / tokens) if tokens else np.zeros(len(freq))
    frame = pd.DataFrame({"word": pd.Series(words, dtype=object), "freq": freq, "percent": percent})
    frame.attrs.update(notes)
    frame.attrs["tokens"] = int(tokens)
    return frame


def wordlist(paths: PathsLike, *, order: str = "frequency", min_length: int = 1, workers: int = 1, mask: str = "*",
             recurse: bool = False, zips: bool = False, exclude_dirs: str = "", exclude_exts: str = "",
             hidden: bool = False, codepage: int = 0, middle_chars: str = "'\u2019") -> pd.DataFrame:
    """The words of the texts under ``paths`` tallied as one, case ignored: a DataFrame with word (str,
    in the form first seen), freq (int64) and percent (float64, of the tokens), by frequency (ties by
    the word) or, with ``order="alpha"``, in the language's case-blind order.  A word is what
    :func:`concord` finds as one.  ``attrs`` holds tokens, texts, texts_searched (those read), skipped
    and problems.  Takes the text choice of :func:`concord`; ``min_length`` drops shorter words;
    ``workers`` counts texts (and parts of a large file) at once, 0 for the machine's cores, with the
    same result.
    """
    if order not in _WORDLIST_ORDERS:
        raise ValueError(f"order must be one of {sorted(_WORDLIST_ORDERS)}, not {order!r}")
    if min_length < 1:
        raise ValueError("min_length must be at least 1")
    o = _choice(mask, recurse, zips, exclude_dirs, exclude_exts, hidden, codepage, middle_chars)
    o.update(min_length=int(min_length), by_frequency=_WORDLIST_ORDERS[order], workers=int(workers))
    words, freq, notes = _wordlist(_paths(paths), o)
    for key in ("hits", "characters", "words", "stopped"):  # figures of a search, not of a count
        notes.pop(key)
    _report(notes, 3)
    frame = _wordlist_frame(words, freq, notes.pop("tokens"), notes)
    frame.attrs["order"] = order
    return frame


def merge_wordlists(frames: Sequence[pd.DataFrame], order: str = "frequency") -> pd.DataFrame:
    """The word lists of the parts of a corpus (each from :func:`wordlist`), in the corpus's order, as
    the list of the whole: frequencies summed over words met without case, the first part's form kept,
    ordered as :func:`wordlist` orders.  Equal to one :func:`wordlist` over all the parts' paths.
    """
    if order not in _WORDLIST_ORDERS:
        raise ValueError(f"order must be one of {sorted(_WORDLIST_ORDERS)}, not {order!r}")
    parts = [(list(f["word"]), f["freq"].to_numpy(dtype=np.int64)) for f in frames]
    words, freq = _merge_wordlists(parts, _WORDLIST_ORDERS[order])
    tokens = sum(int(f.attrs.get("tokens", int(f["freq"].sum()))) for f in frames)
    notes = {}
    for key in ("texts", "texts_searched"):
        notes[key] = sum(int(f.attrs.get(key, 0)) for f in frames)
    for key in ("problems", "skipped", "unreadable"):
        notes[key] = [x for f in frames for x in f.attrs.get(key, [])]
    frame = _wordlist_frame(words, freq, tokens, notes)
    frame.attrs["order"] = order
    return frame


def compare(a, b, *, threshold: float = 10.0, max_diff: int = 0, min_freq: int = 1, **options) -> pd.DataFrame:
    """How the word lists of ``a`` and ``b`` differ.  Each is a path (or paths), whose word list is made
    with :func:`wordlist` and ``options``, or a word-list DataFrame already made.

    Returns a DataFrame with word (str), freq_a, freq_b and diff (int64, freq_a - freq_b) for every word
    of either list: a's words in a's order, then those only b has.  ``attrs`` holds the library's
    comparison: type_diffs and token_diffs with their shares type_diff_pc and token_diff_pc, close
    (either share at most ``threshold`` percent), last_word_in_one_only, and the bag-of-words test:
    bag_of_words_alike, differing_word (the first word of at least ``min_freq`` occurrences, in the
    frequency order of the list with more types, whose frequencies differ by more than ``max_diff``)
    with differing_freq_a and differing_freq_b.
    """
    lists = [x if isinstance(x, pd.DataFrame) else wordlist(x, **options) for x in (a, b)]
    words, fa, fb, summary = _compare(list(lists[0]["word"]), lists[0]["freq"].to_numpy(dtype=np.int64),
                                      list(lists[1]["word"]), lists[1]["freq"].to_numpy(dtype=np.int64),
                                      float(threshold), int(max_diff), int(min_freq))
    frame = pd.DataFrame({"word": pd.Series(words, dtype=object), "freq_a": fa, "freq_b": fb, "diff": fa - fb})
    frame.attrs.update(summary)
    frame.attrs["tokens_a"] = int(lists[0].attrs.get("tokens", int(lists[0]["freq"].sum())))
    frame.attrs["tokens_b"] = int(lists[1].attrs.get("tokens", int(lists[1]["freq"].sum())))
    return frame
