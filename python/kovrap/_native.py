"""The library's exports and host records, as ctypes declares them.

Every record mirrors include/Kovrap.h field for field; the layout test
compares sizes and offsets with a C compiler's.
"""

import ctypes
import os
import sys
from ctypes import POINTER, Structure, c_char, c_char_p, c_double, c_int, c_void_p
from typing import TYPE_CHECKING, Any, Union

# The declarations load without numpy (a C host's example reads them alone);
# only the type checker sees the arrays' type.
if TYPE_CHECKING:
    import numpy.typing as npt

    # A numpy array of any item type, as the library's buffers are.
    Array = npt.NDArray[Any]
else:
    Array = Any

# The header's named constants, once; a test reads them back from the header.
MISSING = 1e9  # KOVRAP_MISSING: the value in every slot without an observation
CODELIST_BYTES = 10000  # KOVRAP_CODELIST_BYTES: directCodelist's buffer
CODE_WIDTH = 10  # KOVRAP_CODE_WIDTH, the terminating NUL included
# KOVRAP_TEXT1_WIDTH .. KOVRAP_TEXT7_WIDTH, the terminating NUL included.
TEXT_WIDTHS = (8, 10, 8, 8, 82, 10, 84)
ADVANCED_WINDOWED = 1792  # KOVRAP_ADVANCED_WINDOWED
STATUS_TOO_FEW_PERIODS = 834  # KOVRAP_STATUS_TOO_FEW_PERIODS
STATUS_SEGMENTS_MISMATCH = 835  # KOVRAP_STATUS_SEGMENTS_MISMATCH
STATUS_NO_MEMORY = 836  # KOVRAP_STATUS_NO_MEMORY
# The sized code listing's own statuses, which it returns negated, and the
# scratch its direct library's texts are written into.
STATUS_BAD_CAPACITY = 837  # KOVRAP_STATUS_BAD_CAPACITY
STATUS_NAMES_OVERRUN = 838  # KOVRAP_STATUS_NAMES_OVERRUN
STATUS_LIST_TOO_LONG = 839  # KOVRAP_STATUS_LIST_TOO_LONG
NAMES_TEXT_BYTES = 1048576  # KOVRAP_NAMES_TEXT_BYTES
# The libraries' frequency codes (KOVRAP_FREQ_...): weekly codes run from
# Monday (51) to Sunday (57); the common range also reads 57 as the weekly
# group and 1000 as the lowest code of the series.
FREQUENCY_CODES = {"ANNUAL": 10, "QUARTERLY": 30, "MONTHLY": 40, "WEEKLY_MON": 51,
                   "WEEKLY_TUE": 52, "WEEKLY_WED": 53, "WEEKLY_THU": 54, "WEEKLY_FRI": 55,
                   "WEEKLY_SAT": 56, "WEEKLY_SUN": 57, "DAILY": 60, "BUSINESS": 61,
                   "LOWEST": 1000}
# Attribute 6 values with which the common range sets aside a finer series.
ATTRIBUTE6_SET_ASIDE = (0, 9)  # KOVRAP_ATTRIBUTE6_SET_ASIDE_0, _9

HEADER_CONSTANTS = {
    "KOVRAP_MISSING": MISSING,
    "KOVRAP_CODELIST_BYTES": CODELIST_BYTES,
    "KOVRAP_CODE_WIDTH": CODE_WIDTH,
    "KOVRAP_ADVANCED_WINDOWED": ADVANCED_WINDOWED,
    "KOVRAP_STATUS_TOO_FEW_PERIODS": STATUS_TOO_FEW_PERIODS,
    "KOVRAP_STATUS_SEGMENTS_MISMATCH": STATUS_SEGMENTS_MISMATCH,
    "KOVRAP_STATUS_NO_MEMORY": STATUS_NO_MEMORY,
    "KOVRAP_STATUS_BAD_CAPACITY": STATUS_BAD_CAPACITY,
    "KOVRAP_STATUS_NAMES_OVERRUN": STATUS_NAMES_OVERRUN,
    "KOVRAP_STATUS_LIST_TOO_LONG": STATUS_LIST_TOO_LONG,
    "KOVRAP_NAMES_TEXT_BYTES": NAMES_TEXT_BYTES,
}
HEADER_CONSTANTS.update(("KOVRAP_TEXT%d_WIDTH" % (k + 1), w) for k, w in enumerate(TEXT_WIDTHS))
HEADER_CONSTANTS.update(("KOVRAP_FREQ_" + name, code) for name, code in FREQUENCY_CODES.items())
HEADER_CONSTANTS.update(("KOVRAP_ATTRIBUTE6_SET_ASIDE_%d" % v, v) for v in ATTRIBUTE6_SET_ASIDE)

# The direct library's listing asks for names at most this often.
NAME_CALLS = 32

IntArray = POINTER(c_int)
TextArray = POINTER(c_char_p)  # a column of char * buffers, or a request list


def _first(array: Array, item: Any) -> Any:
    """A pointer to a numpy array's first item, which holds the array for
    as long as the pointer lives. Made in C, where the array's own ctypes
    view takes a dozen Python calls a pointer."""
    if array.size:
        return ctypes.pointer(item.from_buffer(array))
    return array.ctypes.data_as(POINTER(item))


def int_array(array: Array) -> Any:
    """An IntArray over a C-contiguous numpy intc array."""
    return _first(array, c_int)


def text_array(pointers: Array) -> Any:
    """A TextArray over a numpy uintp array of char * addresses."""
    return _first(pointers, c_char_p)


def double_array(array: Array) -> Any:
    """A pointer to double over a C-contiguous numpy float64 array."""
    return _first(array, c_double)


class InfoStatusLists(Structure):
    _fields_ = [
        ("classifyOnly", c_int),
        ("statusCounts", IntArray),
        ("statusList0", IntArray),
        ("statusList1", IntArray),
        ("statusList2", IntArray),
        ("statusList3", IntArray),
        ("statusList4", IntArray),
        ("statusList5", IntArray),
        ("statusList6", IntArray),
    ]


class SeriesInfoColumns(Structure):
    _fields_ = [
        ("code", TextArray),
        ("firstDate", IntArray),
        ("lastDate", IntArray),
        ("attribute1", IntArray),
        ("frequency", IntArray),
        ("attribute2", IntArray),
        ("attribute3", IntArray),
        ("attribute4", IntArray),
        ("attribute5", IntArray),
        ("attribute6", IntArray),
        ("text1", TextArray),
        ("text2", TextArray),
        ("text3", TextArray),
        ("text4", TextArray),
        ("text5", TextArray),
        ("text6", TextArray),
        ("text7", TextArray),
    ]


class CommonRange(Structure):
    _fields_ = [
        ("computeRange", c_int),
        ("frequency", IntArray),
        ("start", IntArray),
        ("end", IntArray),
        ("observationCount", IntArray),
    ]


class RangeExclusions(Structure):
    _fields_ = [
        ("reserved", c_int),
        ("exclusionCounts", IntArray),
        ("emptyList", IntArray),
        ("higherFrequencyList", IntArray),
        ("lowerFrequencyList", IntArray),
    ]


class TransformArrays(Structure):
    _fields_ = [
        ("transformCode", IntArray),
        ("paramB", IntArray),
        ("paramA", IntArray),
        ("spanEnd", IntArray),
        ("paramC", IntArray),
        ("advancedFlag", IntArray),
        ("reserved", c_void_p),
        ("countStatus", IntArray),
    ]


class AdvancedWindows(Structure):
    _fields_ = [("windowStart", IntArray), ("windowEnd", IntArray)]


RECORDS = (
    InfoStatusLists,
    SeriesInfoColumns,
    CommonRange,
    RangeExclusions,
    TransformArrays,
    AdvancedWindows,
)

# Every export: (name, result type, argument types).
EXPORTS = (
    ("isLeapYear", c_int, [c_int]),
    ("tqvdateToYmd", c_int, [c_int, c_int]),
    ("ymdToTqvdate", c_int, [c_int, c_int]),
    ("c_kovraDateSeq", None, [IntArray, c_int, c_int, c_int]),
    ("directCodelist", None, [POINTER(c_char), c_int, TextArray, TextArray, c_char_p, c_int]),
    ("c_kovraGetCodes", c_int, [c_int, POINTER(c_char), c_char_p, IntArray]),
    ("c_kovraGetCodesSized", c_int, [c_int, c_char_p, POINTER(c_char), c_int]),
    (
        "c_kovraSeriesInfo",
        None,
        [
            c_int, POINTER(InfoStatusLists), POINTER(SeriesInfoColumns), TextArray, TextArray,
            TextArray, c_int, c_int, c_int, c_int, POINTER(CommonRange),
            POINTER(RangeExclusions),
        ],
    ),
    (
        "c_kovraGetData",
        None,
        [
            c_int, POINTER(c_double), TextArray, TextArray, TextArray, c_int, c_int, c_int,
            c_int, c_int, c_int, c_int, POINTER(TransformArrays), POINTER(AdvancedWindows),
            IntArray,
        ],
    ),
    (
        "ZOZurevAdvancedCount",
        c_int,
        [
            c_int, POINTER(TransformArrays), c_int, c_int, c_int, c_int, c_int, c_int,
            POINTER(c_double), c_int,
        ],
    ),
    ("c_getAggmode", c_int, [c_int]),
    ("c_setAggmode", c_int, [c_int, c_int]),
    ("c_kovraGetObsNum", c_int, [c_int, c_int, c_int]),
    ("c_kovraGetDate", c_int, [c_int, c_int, c_int]),
    ("c_kovraCVersion", c_int, [IntArray, POINTER(c_char), POINTER(c_char)]),
    ("c_kovraAuthenticate", c_int, [c_char_p, c_char_p, IntArray, c_char_p]),
)


def library_name() -> str:
    """The library's file name on this platform.

    Returns
    -------
    str
        ``libKovrap64.so``, or ``Kovrap64.dll`` on Windows.

    Examples
    --------
    >>> kovrap.library_name() in ("libKovrap64.so", "Kovrap64.dll")
    True
    """
    return "Kovrap64.dll" if sys.platform == "win32" else "libKovrap64.so"


def find_library(library: Union[None, str, "os.PathLike[str]"] = None) -> str:
    """The path or name to load: the argument, else KOVRAP_LIBRARY, else a
    copy beside the package, else the plain name for the system's search."""
    if library:
        return os.fsdecode(os.fspath(library))
    from_environment = os.environ.get("KOVRAP_LIBRARY")
    if from_environment:
        return from_environment
    here = os.path.dirname(os.path.abspath(__file__))
    for candidate in (os.path.join(here, library_name()), os.path.join(here, "lib", library_name())):
        if os.path.isfile(candidate):
            return candidate
    return library_name()


def load(path: str) -> Any:
    """Loads the library and declares every export. The database libraries
    must lie beside it (or be found by the system's search)."""
    try:
        lib = ctypes.CDLL(path)
    except OSError as e:
        from ._errors import KovrapError  # here: this module also loads on its own
        raise KovrapError(None, "cannot load the Kovrap library %s: %s" % (path, e)) from None
    missing = [name for name, _, _ in EXPORTS if not hasattr(lib, name)]
    if missing:
        from ._errors import KovrapError
        raise KovrapError(None, "%s is not the Kovrap library: it lacks %s" % (
            path, ", ".join(missing[:3]) + (" and %d more" % (len(missing) - 3)
                                            if len(missing) > 3 else "")))
    for name, result, arguments in EXPORTS:
        function = getattr(lib, name)
        function.argtypes = arguments
        function.restype = result
    return lib


def tqvd_chunk(lib: Any) -> int:
    """The exported data TQVDchunk: the direct library's chunk size."""
    return c_int.in_dll(lib, "TQVDchunk").value
