"""The Python functions over the library's concordance and word lists: what they return, in which types,
and how they fail."""

import os
import threading
import time

import numpy as np
import pandas as pd
import pytest

import kx8
from conftest import PROSE

CONCORDANCE_DTYPES = {
    "file": object, "pos": np.int64, "percent": np.float64, "word": np.int64, "sentence": np.int64,
    "paragraph": np.int64, "left": object, "node": object, "right": object,
}


def dtypes_of(frame):
    return {c: frame[c].dtype for c in frame.columns}


@pytest.mark.parametrize("hits", [True, False], ids=["with-hits", "no-hits"])
def test_concordance_columns_and_dtypes(corpus, hits):
    lines = kx8.concord("bank" if hits else "zzzz", corpus)
    assert list(lines.columns) == list(kx8.CONCORDANCE_COLUMNS)
    assert dtypes_of(lines) == CONCORDANCE_DTYPES
    assert (len(lines) > 0) == hits
    found = kx8.search(PROSE, "bank" if hits else "zzzz")
    assert list(found.columns) == list(kx8.CONCORDANCE_COLUMNS[1:])
    assert dtypes_of(found) == {c: t for c, t in CONCORDANCE_DTYPES.items() if c != "file"}


def test_concordance_lines_point_at_their_hits(corpus):
    lines = kx8.concord("bank*", corpus)
    a = str(corpus / "a.txt")
    mine = lines[lines.file == a]
    assert list(mine.node) == ["bank's", "bank", "Bank", "bank", "BANK", "Banking", "bank", "bank"]
    for row in mine.itertuples():
        assert PROSE[row.pos:row.pos + len(row.node)] == row.node
        assert PROSE[:row.pos].endswith(row.left)
        assert PROSE[row.pos + len(row.node):].startswith(row.right.rstrip("\n"))
        assert 0 <= row.percent < 100
    # The last hit is in the 5th sentence and the 2nd paragraph (numbers from 1).
    last = mine.iloc[-1]
    assert (last.sentence, last.paragraph) == (5, 2)
    assert mine.word.is_monotonic_increasing
    # The texts in the order they are chosen; the binary file skipped, not searched.
    assert list(dict.fromkeys(lines.file)) == [a, str(corpus / "b.txt")]
    assert [name for name, _ in lines.attrs["skipped"]] == [str(corpus / "binary.dat")]
    assert lines.attrs["hits"] == len(lines)


@pytest.mark.parametrize(
    "options, expected",
    [
        ({}, 7),  # "bank's" is a word of its own; "bank-notes" holds "bank"
        ({"case_sensitive": True, "word": "Bank"}, 1),
        ({"max_hits": 3}, 3),
        ({"max_hits": 0}, 0),
        ({"recurse": True}, 8),
        ({"zips": True}, 8),
        ({"recurse": True, "zips": True, "mask": "*.txt"}, 9),
        ({"exclusion_words": ["river"]}, 6),
        ({"context_words": "closed", "span": 2}, 1),
        ({"workers": 3}, 7),
    ],
)
def test_concordance_options(corpus, options, expected):
    options = dict(options)
    word = options.pop("word", "bank")
    assert len(kx8.concord(word, corpus, **options)) == expected


def test_context_and_workers_change_nothing_else(corpus):
    one = kx8.concord("bank*", corpus, recurse=True, zips=True)
    many = kx8.concord("bank*", corpus, recurse=True, zips=True, workers=4)
    pd.testing.assert_frame_equal(one, many)
    narrow = kx8.concord("bank*", corpus, recurse=True, zips=True, context=5)
    assert (narrow.left.str.len() <= 5).all() and (narrow.right.str.len() <= 5).all()
    pd.testing.assert_frame_equal(narrow.drop(columns=["left", "right"]), one.drop(columns=["left", "right"]))


def test_iconcord_yields_the_lines_of_concord(corpus):
    whole = kx8.concord("bank*", corpus, recurse=True)
    rows = list(kx8.iconcord("bank*", corpus, recurse=True, batch=2))
    assert all(isinstance(r, kx8.Hit) for r in rows)
    assert rows == list(whole.itertuples(index=False, name=None))


def test_iconcord_stops_when_dropped(tmp_path):
    big = tmp_path / "big.txt"
    big.write_text("bank river " * 200_000)
    it = kx8.iconcord("bank", big, batch=10)
    first = [next(it) for _ in range(25)]
    assert [h.pos for h in first] == [i * 11 for i in range(25)]
    started = time.monotonic()
    it.close()  # must stop the search rather than wait for its 200,000 hits
    assert time.monotonic() - started < 5


def test_search_counts_python_characters_beyond_the_first_plane():
    text = "\U0001F600 bank \U0001D400\U0001D401 Bank. X\u00e9\U00010348 bank"  # a capital after the full stop: a new sentence
    found = kx8.search(text, "bank")
    assert list(found.node) == ["bank", "Bank", "bank"]
    for row in found.itertuples():
        assert text[row.pos:row.pos + len(row.node)] == row.node
    assert list(found.pos) == [2, 10, 20]
    assert found.left.iloc[1] == "\U0001F600 bank \U0001D400\U0001D401 "
    assert list(found.sentence) == [1, 1, 2]


def test_search_finds_in_a_str_what_concord_finds_in_its_file(tmp_path):
    path = tmp_path / "prose.txt"
    path.write_text(PROSE, encoding="utf-8")
    from_file = kx8.concord("bank*/river", path).drop(columns=["file"])
    in_memory = kx8.search(PROSE, "bank*/river")
    pd.testing.assert_frame_equal(in_memory, from_file)
    assert kx8.search("", "bank").empty
    assert list(kx8.search("bank\0bank", "bank").pos) == [0, 5]


@pytest.mark.parametrize("word", ["", "*"])
def test_a_search_that_cannot_be_parsed_raises_kx8error(corpus, word):
    with pytest.raises(kx8.Kx8Error, match="nothing to search for"):
        kx8.concord(word, corpus)
    with pytest.raises(kx8.Kx8Error, match="nothing to search for"):
        kx8.search("text", word)
    with pytest.raises(kx8.Kx8Error):
        kx8.iconcord(word, corpus)  # at the call, not at the first line


@pytest.mark.parametrize(
    "call, error, message",
    [
        (lambda c: kx8.concord("bank", c / "missing"), FileNotFoundError, "missing"),
        (lambda c: kx8.concord("bank", [c / "a.txt", c / "missing.txt"]), FileNotFoundError, "missing.txt"),
        (lambda c: kx8.wordlist(c / "missing"), FileNotFoundError, "missing"),
        (lambda c: kx8.iconcord("bank", c / "missing"), FileNotFoundError, "missing"),
        (lambda c: kx8.compare(c, c / "missing"), FileNotFoundError, "missing"),
        (lambda c: kx8.concord("bank", c, stop_file=c / "nostop.txt"), kx8.Kx8Error, "no stop words"),
        (lambda c: kx8.concord("bank", c, search_file=c / "none.txt"), kx8.Kx8Error, "cannot read the search file"),
        (lambda c: kx8.concord("bank", c, codepage=12345), kx8.Kx8Error, "code page 12345"),
        (lambda c: kx8.wordlist(c, codepage=12345), kx8.Kx8Error, "code page 12345"),
        (lambda c: kx8.concord("bank", c, codepage=70000), ValueError, "codepage"),
        (lambda c: kx8.concord("bank", c, max_hits=-1), ValueError, "max_hits"),
        (lambda c: kx8.concord("bank", []), ValueError, "no paths"),
        (lambda c: kx8.wordlist(c, order="random"), ValueError, "order"),
        (lambda c: kx8.iconcord("bank", c, colour=True), TypeError, "colour"),
        (lambda c: kx8.search(b"bank", "bank"), TypeError, "str"),
    ],
)
def test_bad_arguments_raise(corpus, call, error, message):
    with pytest.raises(error, match=message):
        call(corpus)


@pytest.mark.parametrize(
    "call",
    [
        lambda paths: len(kx8.concord("bank", paths)),
        lambda paths: len(list(kx8.iconcord("bank", paths))),
        lambda paths: kx8.wordlist(paths).attrs["tokens"] and len(kx8.wordlist(paths)),
    ],
    ids=["concord", "iconcord", "wordlist"],
)
def test_what_cannot_be_read_is_warned_of_and_the_rest_still_read(corpus, call):
    bad = corpus / "bad.zip"
    bad.write_bytes(b"PK\x03\x04 not an archive")
    with pytest.warns(kx8.Kx8Warning, match="bad.zip") as caught:
        assert call([bad, corpus / "a.txt"]) > 0
    assert caught[0].filename == __file__  # pointing at the caller's line


def test_kx8error_is_an_exception_of_the_package():
    assert issubclass(kx8.Kx8Error, Exception)
    assert kx8.Kx8Error.__module__ == "kx8"


def test_wordlist_columns_counts_and_orders(corpus):
    words = kx8.wordlist(corpus)
    assert list(words.columns) == ["word", "freq", "percent"]
    assert dtypes_of(words) == {"word": object, "freq": np.int64, "percent": np.float64}
    freq = dict(zip(words.word, words.freq))
    # Case is ignored and the form first seen kept; a word's frequency is what a concordance finds.
    assert freq["bank"] == len(kx8.concord("bank", corpus)) == 7
    assert "BANK" not in freq and freq["The"] == 4
    assert "A" not in freq and freq["a"] == 2
    assert freq["3,000.5"] == 1 and freq["bank's"] == 1 and freq["\u03a4\u03b7\u03c2"] == 1
    assert words.freq.sum() == words.attrs["tokens"]
    assert words.percent.sum() == pytest.approx(100.0)
    assert (np.diff(words.freq.to_numpy()) <= 0).all()
    assert words.attrs["texts_searched"] == 2 and words.attrs["texts"] == 3
    alpha = kx8.wordlist(corpus, order="alpha")
    assert sorted(zip(alpha.word, alpha.freq)) == sorted(zip(words.word, words.freq))
    assert list(alpha.word[:3]) == ["3,000.5", "a", "again"]
    pd.testing.assert_frame_equal(kx8.wordlist(corpus, workers=3, recurse=True, zips=True),
                                  kx8.wordlist(corpus, recurse=True, zips=True))
    long_words = kx8.wordlist(corpus, min_length=6)
    assert (long_words.word.str.len() >= 6).all() and long_words.attrs["tokens"] < words.attrs["tokens"]


@pytest.mark.parametrize("order", ["frequency", "alpha"])
def test_merged_word_lists_equal_the_whole(corpus, order):
    parts = [corpus / "a.txt", corpus / "b.txt", corpus / "sub"]
    whole = kx8.wordlist(parts, order=order)
    merged = kx8.merge_wordlists([kx8.wordlist(p, order=order) for p in parts], order=order)
    pd.testing.assert_frame_equal(merged, whole)
    assert merged.attrs["tokens"] == whole.attrs["tokens"]


def test_compare(corpus, tmp_path):
    same = kx8.compare(corpus / "a.txt", corpus / "a.txt")
    assert same.attrs["close"] and same.attrs["bag_of_words_alike"]
    assert (same["diff"] == 0).all() and same.attrs["type_diffs"] == 0
    other = tmp_path / "other.txt"
    other.write_text("the bank the bank the bank zebra\n")
    diff = kx8.compare(corpus / "a.txt", other)
    assert list(diff.columns) == ["word", "freq_a", "freq_b", "diff"]
    assert dtypes_of(diff) == {"word": object, "freq_a": np.int64, "freq_b": np.int64, "diff": np.int64}
    rows = {r.word: (r.freq_a, r.freq_b, r.diff) for r in diff.itertuples()}
    assert rows["bank"] == (6, 3, 3)
    assert rows["The"] == (3, 3, 0)
    assert rows["zebra"] == (0, 1, -1)
    assert list(diff.word).index("zebra") == len(diff) - 1  # b's own words come last
    assert not diff.attrs["bag_of_words_alike"] and diff.attrs["differing_word"]
    assert not diff.attrs["close"]
    # Word lists already made compare as their paths do.
    again = kx8.compare(kx8.wordlist(corpus / "a.txt"), kx8.wordlist(other))
    pd.testing.assert_frame_equal(again, diff)


def test_the_interpreter_runs_on_while_the_library_works(tmp_path):
    # Another thread notes the longest time it had to wait to run; were the lock held through the call,
    # that wait would be the whole call. The text grows until the call is long enough to tell.
    big = tmp_path / "big.txt"
    line = "river bank and the bank of the river\n"
    lines = 50_000
    while True:
        big.write_text(line * lines)
        worst = []
        done = threading.Event()

        def tick():
            last = time.perf_counter()
            longest = 0.0
            while not done.is_set():
                now = time.perf_counter()
                longest = max(longest, now - last)
                last = now
            worst.append(longest)

        t = threading.Thread(target=tick)
        t.start()
        time.sleep(0.02)
        started = time.perf_counter()
        try:
            words = kx8.wordlist(big)
        finally:
            elapsed = time.perf_counter() - started
            done.set()
            t.join()
        if elapsed >= 0.2 or lines >= 3_200_000:
            break
        lines *= 4
    assert words.attrs["tokens"] == 8 * lines
    assert worst[0] < elapsed / 2, (worst[0], elapsed)


def test_paths_may_be_path_objects_strings_or_lists(corpus):
    as_str = kx8.concord("bank", str(corpus))
    as_path = kx8.concord("bank", corpus)
    as_list = kx8.concord("bank", [os.fspath(corpus)])
    pd.testing.assert_frame_equal(as_str, as_path)
    pd.testing.assert_frame_equal(as_str, as_list)
