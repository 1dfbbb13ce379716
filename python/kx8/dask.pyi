import os
from typing import Any, Sequence, Union

import pandas as pd

ShardsLike = Union[str, os.PathLike[str], Sequence[Union[str, os.PathLike[str]]]]

def shards(folder: str | os.PathLike[str]) -> list[str]: ...
def wordlist(where: ShardsLike, *, client: Any = ..., **options: Any) -> pd.DataFrame: ...
def concord(word: str, where: ShardsLike, *, client: Any = ..., **options: Any) -> pd.DataFrame: ...
