"""Math operations, advanced counts and aggregation modes, as the user
writes them, turned into the library's codes."""

import re
from collections.abc import Mapping, Sequence
from typing import Any, Dict, List, NamedTuple, Optional

import numpy as np
import pandas as pd

from . import _calendar as cal
from . import _native as native
from ._errors import KovrapArgumentError
from ._names import Requests

MATH = {"level": 0, "diff": 1, "pct": 2, "apct": 3, "yoy": 4, "log": 5}
MOVING_AVERAGE = 1
REBASE = 2
NO_MATH = -1

# The library's aggregation modes, named as pandas' resample names them.
AGGREGATE = {"mean": 0, "sum": 1, "first": 2, "last": 3}

class Operation(NamedTuple):
    """One series' operation in the library's terms, and as written."""
    advanced: bool
    code: int
    second: int
    rebase: Optional[str]
    label: str


Ops = List[Optional[Operation]]

_INTEGER = re.compile(r"^[+-]?[0-9]+$")  # ASCII digits, as every host reads them


def parse_int(text: str, whole: str) -> Optional[int]:
    """A 32-bit signed int written as an optional sign and digits; None for
    text that is no number; refused, never wrapped, beyond 32 bits."""
    if not _INTEGER.match(text):
        return None
    value = int(text)
    if not -2 ** 31 <= value < 2 ** 31:
        raise KovrapArgumentError(None, "bad number %r in %r" % (text, whole))
    return value


def parse(value: Any, advanced: bool) -> Optional[Operation]:
    """One operation from its text (or an int code); None for none."""
    if value is None:
        return None
    if isinstance(value, bool) or not isinstance(value, (str, int, np.integer)):
        raise KovrapArgumentError(None, "%r is not an operation (use text such as %s)" % (
            value, "'ma:4'" if advanced else "'pct'"))
    # Names in any case, letters A to Z only; no blank is trimmed.
    text = str(int(value) if isinstance(value, np.integer) else value)
    if not advanced:
        if cal.ascii_lower(text) in MATH:
            return Operation(False, MATH[cal.ascii_lower(text)], 0, None, text)
        code = parse_int(text, text)
        if code is None:
            raise KovrapArgumentError(None, "unknown math operation %r (use level, diff, pct, "
                                            "apct, yoy, log or their codes 0 to 5)" % (value,))
        names = {c: n for n, c in MATH.items()}
        # Another code would reach the library unchecked; -1 even turns the
        # operation off without a word.
        if code not in names:
            raise KovrapArgumentError(None, "math code %d is no operation kovrap knows (use "
                                            "level, diff, pct, apct, yoy, log or their codes "
                                            "0 to 5)" % code)
        return Operation(False, code, 0, None, names[code])
    name, colon, parameter = text.partition(":")
    name_lower = cal.ascii_lower(name)
    if name_lower == "seasonal" and not colon:
        return Operation(True, native.ADVANCED_WINDOWED, 0, None, text)
    if name_lower == "ma" and colon:
        span = parse_int(parameter, text)
        if span is None or span < 1:
            raise KovrapArgumentError(None, "ma takes a span of at least one period, as in "
                                            "ma:4, not %r" % (text,))
        return Operation(True, MOVING_AVERAGE, span, None, text)
    if name_lower == "rebase" and colon:
        cal.date_span(parameter)  # a bad date fails before anything is read
        return Operation(True, REBASE, 0, parameter, text)
    code = parse_int(name, text)
    if code is None:
        raise KovrapArgumentError(None, "unknown advanced operation %r (use seasonal, ma:SPAN, "
                                        "rebase:DATE or CODE[:SECOND])" % (value,))
    second = parse_int(parameter, text) if colon else 0
    if second is None:
        raise KovrapArgumentError(None, "bad parameter in %r (use CODE or CODE:SECOND)" % (value,))
    # Only the codes of the named operations: code 0 in the first request
    # turns every transformation off, and -1 read as "no operation" would
    # leave the values untransformed and looking transformed.
    if code not in (native.ADVANCED_WINDOWED, MOVING_AVERAGE, REBASE):
        raise KovrapArgumentError(None, "advanced code %d is no operation kovrap knows (use "
                                        "seasonal, ma:SPAN, rebase:DATE, or the codes 1792, 1 "
                                        "or 2, as in 1:4)" % code)
    return Operation(True, code, second, None, "code " + text)


def per_series(requests: Requests, labels: List[str], value: Any,
               advanced: bool) -> Ops:
    """One operation (or None) per request, from one value for all, a list
    in the order of the series, or a dict keyed by column label, by name or
    by (database, code)."""
    n = len(requests)
    if isinstance(value, np.ndarray) and value.ndim == 0:
        value = value.item()
    if isinstance(value, Mapping):
        position: Dict[Any, List[int]] = {}
        for k in range(n):
            for key in (labels[k], requests.names[k],
                        (requests.databases[k], requests.codes[k])):
                position.setdefault(key, []).append(k)
        ops: Ops = [None] * n
        for key, given in value.items():
            if key not in position:
                raise KovrapArgumentError(None, "operation for a series not fetched: %s" % (key,))
            op = parse(given, advanced)
            for k in position[key]:
                ops[k] = op
        return ops
    if isinstance(value, (pd.Series, np.ndarray)):
        if value.ndim != 1:
            raise KovrapArgumentError(None, "operations are one value, a list or a dict, not an "
                                            "array of %d dimensions" % value.ndim)
        # By position, as a list: a Series' index is not read.
        value = value.tolist()
    if isinstance(value, Sequence) and not isinstance(value, (str, bytes)):
        if len(value) != n:
            raise KovrapArgumentError(None, "%d operations for %d series" % (len(value), n))
        return [parse(v, advanced) for v in value]
    return [parse(value, advanced)] * n


def combine(requests: Requests, maths: Ops, advances: Ops) -> Ops:
    """Each request's one operation: a series takes a math operation or an
    advanced count, not both."""
    if maths.count(None) == len(maths):
        return advances
    if advances.count(None) == len(advances):
        return maths
    ops = []
    for name, m, a in zip(requests.names, maths, advances):
        if m is not None and a is not None:
            raise KovrapArgumentError(None, "%s has both a math operation and an advanced count: give one, not both"
                                      % name)
        ops.append(a if a is not None else m)
    return ops


def aggregate_mode(aggregate: Any) -> Optional[int]:
    """The library's aggregation mode for pandas' name, None for none."""
    if aggregate is None:
        return None
    if isinstance(aggregate, str) and cal.ascii_lower(aggregate) in AGGREGATE:
        return AGGREGATE[cal.ascii_lower(aggregate)]
    raise KovrapArgumentError(None, "unknown aggregation %r (use mean, sum, first or last)"
                                    % (aggregate,))
