import os
from typing import Iterable, Iterator, NamedTuple, Sequence, Union

import pandas as pd

_Path = Union[str, os.PathLike[str]]
PathsLike = Union[_Path, Iterable[_Path]]

class Kx8Error(Exception):
    """An error the library reports: a search it cannot parse, a file it cannot read."""

class Kx8Warning(UserWarning):
    """A text or folder that could not be read; the rest was still searched or counted."""

CONCORDANCE_COLUMNS: tuple[str, ...]

class Hit(NamedTuple):
    file: str
    pos: int
    percent: float
    word: int
    sentence: int
    paragraph: int
    left: str
    node: str
    right: str

def concord(
    word: str,
    paths: PathsLike,
    *,
    case_sensitive: bool = ...,
    max_hits: int | None = ...,
    context: int = ...,
    span: int = ...,
    context_words: Sequence[str] | str | None = ...,
    exclusion_words: Sequence[str] | str | None = ...,
    skip_punctuation: bool = ...,
    search_file: _Path | None = ...,
    lemma_file: _Path | None = ...,
    stop_file: _Path | None = ...,
    workers: int = ...,
    mask: str = ...,
    recurse: bool = ...,
    zips: bool = ...,
    exclude_dirs: str = ...,
    exclude_exts: str = ...,
    hidden: bool = ...,
    codepage: int = ...,
    middle_chars: str = ...,
) -> pd.DataFrame: ...
def iconcord(
    word: str,
    paths: PathsLike,
    *,
    batch: int = ...,
    case_sensitive: bool = ...,
    max_hits: int | None = ...,
    context: int = ...,
    span: int = ...,
    context_words: Sequence[str] | str | None = ...,
    exclusion_words: Sequence[str] | str | None = ...,
    skip_punctuation: bool = ...,
    search_file: _Path | None = ...,
    lemma_file: _Path | None = ...,
    stop_file: _Path | None = ...,
    workers: int = ...,
    mask: str = ...,
    recurse: bool = ...,
    zips: bool = ...,
    exclude_dirs: str = ...,
    exclude_exts: str = ...,
    hidden: bool = ...,
    codepage: int = ...,
    middle_chars: str = ...,
) -> Iterator[Hit]: ...
def search(
    text: str,
    word: str,
    *,
    case_sensitive: bool = ...,
    max_hits: int | None = ...,
    context: int = ...,
    span: int = ...,
    context_words: Sequence[str] | str | None = ...,
    exclusion_words: Sequence[str] | str | None = ...,
    skip_punctuation: bool = ...,
    middle_chars: str = ...,
) -> pd.DataFrame: ...
def wordlist(
    paths: PathsLike,
    *,
    order: str = ...,
    min_length: int = ...,
    workers: int = ...,
    mask: str = ...,
    recurse: bool = ...,
    zips: bool = ...,
    exclude_dirs: str = ...,
    exclude_exts: str = ...,
    hidden: bool = ...,
    codepage: int = ...,
    middle_chars: str = ...,
) -> pd.DataFrame: ...
def merge_wordlists(frames: Sequence[pd.DataFrame], order: str = ...) -> pd.DataFrame: ...
def compare(
    a: PathsLike | pd.DataFrame,
    b: PathsLike | pd.DataFrame,
    *,
    threshold: float = ...,
    max_diff: int = ...,
    min_freq: int = ...,
    order: str = ...,
    min_length: int = ...,
    workers: int = ...,
    mask: str = ...,
    recurse: bool = ...,
    zips: bool = ...,
    exclude_dirs: str = ...,
    exclude_exts: str = ...,
    hidden: bool = ...,
    codepage: int = ...,
    middle_chars: str = ...,
) -> pd.DataFrame: ...
