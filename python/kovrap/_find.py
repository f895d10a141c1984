"""find(): series by their words, across databases, through one listing and
one information query per database."""

import os
from typing import TYPE_CHECKING, Any, Dict, List, Optional, Sequence

import numpy as np
import pandas as pd

from . import _calendar as cal
from . import _listing, _query, _standin, _texts
from ._errors import KovrapArgumentError
from ._names import shown
from ._native import Array
from ._session import calling

if TYPE_CHECKING:
    from ._api import Kovrap

# Texts 1 to 5 are searched: unit, short name, area, what a period holds and
# the description. Texts 6 and 7 say where the data came from.
SEARCHED = 5
WEEKLY = cal.WEEKLY_DAYS
_UPPER = bytes(range(ord("A"), ord("Z") + 1))
_FOLD = bytes.maketrans(_UPPER, _UPPER.lower())


def _words(host: "Kovrap", words: Any) -> List[bytes]:
    """The words as bytes of the databases' encoding, letters A to Z folded
    to lower case: the only letters every host folds alike."""
    if isinstance(words, str):
        words = [words]
    try:
        words = list(words)
    except TypeError:
        words = [words]
    if not words or not all(isinstance(w, str) for w in words):
        raise KovrapArgumentError(None, "words must be text or a list of texts, not %r" % (words,))
    found = []
    for text in words:
        if shown(text) != text:
            raise KovrapArgumentError(None, "'%s' holds a control character" % shown(text))
        for word in text.split(" "):
            if not word:
                continue
            try:
                found.append(word.encode(host.encoding).translate(_FOLD))
            except UnicodeEncodeError:
                raise KovrapArgumentError(None, "the word '%s' cannot be written in %s" % (
                    word, host.encoding)) from None
    if not found:
        raise KovrapArgumentError(None, "find takes at least one word")
    return found


def _databases(host: "Kovrap", databases: Any) -> List[str]:
    if databases is not None:
        if isinstance(databases, str):
            databases = [databases]
        named: List[str] = list(databases)
        if not named or not all(isinstance(d, str) and d for d in named):
            raise KovrapArgumentError(None, "databases must be a database name or a list of "
                                            "them, not %r" % (named,))
        return named
    if host.direct:
        raise KovrapArgumentError(None, "the direct library cannot list its databases: name "
                                        "them with databases=")
    if not host._standin:
        # Only the stand-in's folder layout is known: one file per database.
        raise KovrapArgumentError(None, "the databases of this library cannot be listed from "
                                        "its folder: name them with databases=")
    folder = host.data_dir if host.data_dir is not None else os.getcwd()
    names = _standin.database_names(folder)
    if not names:
        raise KovrapArgumentError(None, "no database file (*.tqvdb) in %s: name the databases "
                                        "with databases=" % folder)
    return names


def _frequency_filter(host: "Kovrap", freq: Any) -> Optional[Sequence[int]]:
    """The codes to keep, or None for every frequency."""
    if freq is None:
        return None
    # The weekly group, however named ("weekly", "W", pd.offsets.Week()).
    if cal.names_weekly_group(freq):
        return WEEKLY
    with calling(host) as lib:
        code = cal.parse_frequency(freq, lambda c: bool(lib.ymdToTqvdate(20000101, c) != -1))
    if code == cal.LOWEST:
        raise KovrapArgumentError(None, "find keeps one frequency, and 'lowest' names none")
    return (code,)


def _holding(column: _texts.TextColumn, word: bytes) -> Array:
    """Rows of a text column that hold the word, letters A to Z in either
    case: the bytes of every row compared at every place the word fits."""
    rows, width = column.bytes.shape
    size = len(word)
    places = width - size
    if places <= 0:
        return np.zeros(rows, dtype=bool)
    folded = column.bytes
    upper = (folded >= ord("A")) & (folded <= ord("Z"))
    if upper.any():
        folded = folded | (upper.astype(np.uint8) << 5)
    hit = folded[:, :places] == word[0]
    for i in range(1, size):
        if not hit.any():
            break
        hit &= folded[:, i:places + i] == word[i]
    return np.asarray(hit.any(axis=1))


def _search(host: "Kovrap", database: str, words: List[bytes], keep: Optional[Sequence[int]],
            position: int) -> List[Dict[str, Any]]:
    """The matches in one database, as rows of the answer."""
    listed = _listing.codes(host, database)
    if not listed:
        return []
    requests = host._requests([database + ":" + code for code in listed])
    n = len(requests)
    columns = [_texts.TextColumn(n, w) for w in _texts.TEXT_COLUMN_WIDTHS]
    answer = _query.query(host, requests, True, None, columns)
    frequency = answer["frequency"]
    chosen = answer["status_list"] < 0
    if keep is not None:
        chosen &= np.isin(frequency, list(keep))
    searched = [columns[0]] + list(columns[1:1 + SEARCHED])
    in_code = np.zeros(n, dtype=bool)
    for word in words:
        if not chosen.any():
            return []
        here = _holding(searched[0], word)
        in_code |= here
        for column in searched[1:]:
            here |= _holding(column, word)
        chosen &= here
    rows = np.flatnonzero(chosen)
    if not rows.size:
        return []
    # The answer's columns for the matched rows only, one frequency at a time.
    codes = frequency[rows]
    held = answer["attributes"][0][rows] != 0
    first_ymd, last_ymd = answer["first"][rows], answer["last"][rows]
    first = np.full(rows.size, pd.NaT, dtype=object)
    last = first.copy()
    periods = np.zeros(rows.size, dtype=np.int64)
    dated = np.zeros(rows.size, dtype=bool)
    for code in np.unique(codes).tolist():
        if code not in cal.FREQUENCIES:
            continue
        member = np.flatnonzero((codes == code) & held)
        if not member.size:
            continue
        starts = cal.period_ordinals(first_ymd[member], code)
        ends = cal.period_ordinals(last_ymd[member], code)
        offset = cal.offset_of(code)
        first[member] = pd.arrays.PeriodArray(starts, freq=offset).astype(object)
        last[member] = pd.arrays.PeriodArray(ends, freq=offset).astype(object)
        periods[member] = ends - starts + 1
        dated[member] = True
    texts = [_texts.decoded(columns[t].bytes[rows], host.encoding)
             for t in range(1 + SEARCHED)]
    frequency_names = np.array([cal.frequency_name(c) if c in cal.FREQUENCIES else "code %d" % c
                                for c in codes.tolist()], dtype=object)
    return [{
        "rank": np.where(in_code[rows], 0, 1), "position": np.full(rows.size, position),
        "name": np.asarray(requests.names, dtype=object)[rows],
        "code": texts[0], "frequency": frequency_names, "first": first, "last": last,
        "periods": pd.arrays.IntegerArray(periods, ~dated),
        **{"text%d" % (t + 1): texts[t + 1] for t in range(SEARCHED)}}]


COLUMNS = ("name", "code", "frequency", "first", "last", "periods") + tuple(
    "text%d" % (t + 1) for t in range(SEARCHED))


def find(host: "Kovrap", words: Any, databases: Any, freq: Any) -> pd.DataFrame:
    words = _words(host, words)
    databases = _databases(host, databases)
    keep = _frequency_filter(host, freq)
    parts = []
    for position, database in enumerate(databases):
        parts += _search(host, database, words, keep, position)
    if not parts:
        frame = pd.DataFrame({c: pd.Series([], dtype=object) for c in COLUMNS})
        frame["periods"] = frame["periods"].astype("Int64")
        return frame
    whole = {c: np.concatenate([p[c] for p in parts]) if c != "periods" else
             pd.array(np.concatenate([p[c].to_numpy(dtype=object, na_value=pd.NA)
                                      for p in parts]), dtype="Int64")
             for c in COLUMNS + ("rank", "position")}
    # Code matches first, then by code; the order of the databases breaks ties.
    order = sorted(range(len(whole["code"])), key=lambda k: (
        whole["rank"][k], whole["code"][k], whole["position"][k]))
    return pd.DataFrame({c: whole[c][order] for c in COLUMNS})
