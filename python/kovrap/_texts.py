"""Text buffers: the zero-filled text columns of the information query,
kept from call to call, and their texts decoded in blocks."""

import codecs
import contextlib
import sys
import threading
from typing import Any, Iterator, List, Optional, Tuple

import numpy as np
import pandas as pd

from . import _native as native
from ._native import Array


TEXT_COLUMN_WIDTHS = (native.CODE_WIDTH,) + native.TEXT_WIDTHS


class TextColumn:
    """A text column of the information query: one zero-filled buffer per
    request of the field's width, so that every text ends in NUL."""

    def __init__(self, n: int, width: int, block: Optional[Array] = None) -> None:
        """block: zero-filled bytes to hold the buffers, else new ones."""
        if block is None:
            block = np.zeros(n * width, dtype=np.uint8)
        self.bytes = block.reshape(n, width)
        start = self.bytes.ctypes.data
        self.pointers = np.arange(start, start + n * width, width, dtype=np.uintp)

    @property
    def argument(self) -> Any:
        return native.text_array(self.pointers)

    def texts(self, encoding: str) -> Array:
        """The column's texts, each up to its first NUL, as an object array.
        An empty text is "" without decoding; where the encoding reads each
        text on its own terms, only the rows that hold a text are decoded."""
        n = self.bytes.shape[0]
        column = filled(n, "")
        starts = self.bytes[:, 0]
        if not starts.any():
            return column
        rows = np.flatnonzero(starts)
        if rows.size == n or not _stateless(encoding):
            column[:] = decoded(self.bytes, encoding)
        else:
            column[rows] = decoded(self.bytes[rows], encoding)
        return column


class TextBuffers:
    """The text columns of info(), kept from one call to the next up to a
    size. Taking a few megabytes afresh at every call can cost more than the
    query itself: the heap's top is given back to the system after a call and
    taken again by the next, a zeroed page at a time. One call uses them at a
    time; a call meanwhile, or a larger one, gets new ones."""

    LIMIT = 16 << 20  # bytes kept at most: the texts of 75,000 series

    def __init__(self) -> None:
        self._lock = threading.Lock()
        self._block = np.zeros(0, dtype=np.uint8)
        # (series, the columns over the block)
        self._columns: Tuple[int, Optional[List[TextColumn]]] = (0, None)

    @contextlib.contextmanager
    def columns(self, n: int) -> Iterator[List[TextColumn]]:
        """Zero-filled TextColumns of TEXT_COLUMN_WIDTHS for n series."""
        size = n * sum(TEXT_COLUMN_WIDTHS)
        if size > self.LIMIT or not self._lock.acquire(blocking=False):
            yield [TextColumn(n, w) for w in TEXT_COLUMN_WIDTHS]
            return
        try:
            if self._block.size < size:
                self._block, self._columns = np.zeros(size, dtype=np.uint8), (0, None)
            else:
                self._block[:size].fill(0)
            kept, columns = self._columns
            if kept != n or columns is None:
                ends = np.cumsum([0] + [n * w for w in TEXT_COLUMN_WIDTHS]).tolist()
                columns = [TextColumn(n, w, self._block[a:b]) for w, a, b in zip(
                    TEXT_COLUMN_WIDTHS, ends, ends[1:])]
                self._columns = (n, columns)
            yield columns
        finally:
            self._lock.release()


TEXT_BUFFERS = TextBuffers()


def decoded(bytes_: Array, encoding: str) -> Array:
    """The texts of rows of NUL-ended bytes, decoded as one block where the
    encoding allows, in an object array."""
    raw = bytes_.view("S%d" % bytes_.shape[1]).ravel().tolist()
    if _ascii_compatible(encoding):
        texts = b"\0".join(raw).decode(encoding, "replace").split("\0")
        if len(texts) == len(raw):
            return _objects(texts)
    return _objects([b.split(b"\0", 1)[0].decode(encoding, "replace") for b in raw])


def _objects(items: List[Any]) -> Array:
    """A list as an object array, element for element."""
    try:
        return np.fromiter(items, dtype=object, count=len(items))
    except ValueError:  # a numpy before 1.23 makes no object array from an iterator
        column = np.empty(len(items), dtype=object)
        column[:] = items
        return column


def text_index(items: List[str], name: Optional[str] = None) -> Any:
    """An Index of texts as they are: made as an object array, which pandas
    takes without looking at every label for a type."""
    return pd.Index(_objects(items), dtype=object, copy=False, name=name)


def _ascii_compatible(encoding: str) -> bool:
    try:
        return "az09 ".encode(encoding) == b"az09 "
    except (LookupError, UnicodeError):
        return False


def _stateless(encoding: str) -> bool:
    """Whether the encoding decodes each byte by itself (UTF-8 each
    sequence), so that a text reads the same decoded alone or after others."""
    try:
        decoder = codecs.lookup(encoding)
    except LookupError:
        return False
    if decoder.name in ("utf-8", "ascii", "iso8859-1"):
        return True
    module = sys.modules.get(getattr(type(getattr(decoder.decode, "__self__", None)),
                                     "__module__", ""))
    return hasattr(module, "decoding_table") or hasattr(module, "decoding_map")


def filled(n: int, value: Any) -> Array:
    """An object column of one value: the value itself in every row, not a
    copy of it per row."""
    column = np.empty(n, dtype=object)
    column.fill(value)
    return column
