"""The long form of a fetch: one row per series and period, made from the
wide frame's matrix with whole-array operations only."""

from __future__ import annotations

from typing import TYPE_CHECKING, Any, List, Sequence, Union

import numpy as np
import numpy.typing as npt
import pandas as pd

from . import _catalogue as catalogue
from ._errors import KovrapArgumentError

if TYPE_CHECKING:
    from ._api import Kovrap
    from ._names import Requests

TEXT_FIELDS = ("text1", "text2", "text3", "text4", "text5", "text6", "text7")

Texts = Union[bool, str, Sequence[str]]


def text_fields(texts: Texts) -> List[str]:
    """The text columns asked for: none, all seven, or those named, each
    once, in the order given."""
    if texts is False or texts is None:
        return []
    if texts is True:
        return list(TEXT_FIELDS)
    named = [texts] if isinstance(texts, str) else texts
    try:
        fields = list(named)
    except TypeError:
        fields = [named]  # type: ignore[list-item]
    for field in fields:
        if not isinstance(field, str) or field not in TEXT_FIELDS:
            raise KovrapArgumentError(None, "texts must be True, False or names among %s, not %r"
                                      % (", ".join(TEXT_FIELDS), field))
    if len(set(fields)) != len(fields):
        raise KovrapArgumentError(None, "texts names a field twice: %s" % ", ".join(fields))
    return fields


# The integer types pandas keeps a categorical's codes in, with the count of
# categories each is used below.
_CODE_TYPES = ((np.int8, 127), (np.int16, 32767), (np.int32, 2147483647))


def _code_type(categories: int) -> type:
    """The integer type pandas keeps a categorical's codes in, for so many
    categories: codes made in it are taken as they are, not copied."""
    for kind, below in _CODE_TYPES:
        if categories < below:
            return kind
    return np.int64


def _per_row(per_series: npt.NDArray[Any], count: int) -> npt.NDArray[Any]:
    """Each series' item repeated for its count periods, in one pass."""
    return np.broadcast_to(per_series[:, None], (per_series.size, count)).reshape(-1)


def _categorical(labels: Sequence[Any], count: int) -> Any:
    """A categorical column of one label per series, each repeated for the
    series' periods; categories in the order they first come. A label that
    is None is missing."""
    codes, uniques = pd.factorize(np.asarray(labels, dtype=object))
    codes = codes.astype(_code_type(len(uniques)), copy=False)
    dtype = pd.CategoricalDtype(pd.Index(uniques, dtype=object))
    return pd.Categorical.from_codes(_per_row(codes, count), dtype=dtype)


def _matrix(wide: pd.DataFrame) -> npt.NDArray[np.float64]:
    """The wide frame's values, one row per series: the fetch's own matrix,
    not a copy, when the frame holds it whole."""
    values: npt.NDArray[np.float64] = wide.to_numpy(dtype=np.float64).T
    return values


def long_frame(host: Kovrap, requests: Requests, wide: pd.DataFrame, dropna: bool,
               texts: Texts) -> pd.DataFrame:
    """The long form of a wide fetch of these requests: columns database,
    code, period and value (and the texts asked for), rows in the order of
    the series, then of the periods."""
    if not isinstance(dropna, (bool, np.bool_)):
        raise KovrapArgumentError(None, "dropna must be True or False, not %r" % (dropna,))
    fields = text_fields(texts)
    matrix = _matrix(wide)
    n, count = matrix.shape
    # Row-major: every period of the first series, then of the next.
    value = matrix.reshape(-1)
    ordinals = np.asarray(wide.index.asi8, dtype=np.int64)
    columns = {
        "database": _categorical(requests.databases, count),
        "code": _categorical(requests.codes, count),
        "period": pd.arrays.PeriodArray(np.broadcast_to(ordinals, (n, count)).reshape(-1),
                                        freq=wide.index.freq),
        "value": value,
    }
    if fields:
        information = catalogue.info(host, requests)
        for field in fields:
            columns[field] = _categorical(information[field].to_numpy(dtype=object), count)
    if dropna:
        kept = ~np.isnan(value)
        if not kept.all():
            columns = {name: column[kept] for name, column in columns.items()}
    frame = pd.DataFrame(columns, copy=False)
    frame.attrs.update(wide.attrs)
    return frame

