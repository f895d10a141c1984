"""Series names: DATABASE:CODE, or a (database, code) tuple, read once per
call for a whole list, and the request lists the library takes."""

import itertools
import operator
import os
import re
from typing import Any, Callable, List, Optional, Tuple

import numpy as np

from . import _native as native
from ._errors import KovrapArgumentError
from ._native import Array

MAX_CODE = native.CODE_WIDTH - 1

_CONTROL = re.compile(r"[\x00-\x1f\x7f]")
_DRIVE = re.compile(r"^[A-Za-z]:[\\/]")
_FIRST, _LAST = operator.itemgetter(0), operator.itemgetter(2)


def shown(text: str) -> str:
    """A name as written, a control character as \\xHH."""
    return _CONTROL.sub(lambda m: "\\x%02X" % ord(m.group()), text)


def _split(name: Any) -> Tuple[str, str]:
    """(database, code) of one name: at the first colon after an optional
    drive, so that a code may hold colons and a Windows path its drive."""
    if isinstance(name, tuple):
        if len(name) == 2 and all(isinstance(part, str) for part in name):
            if ":" in name[0] and ":" in name[1]:
                # Most likely two series meant as a list, read as one pair.
                raise KovrapArgumentError(
                    None, "%r is one (database, code) pair, and both its parts hold a colon: "
                          "give several series as a list, %r" % (name, list(name)))
            return name[0], name[1]
        raise KovrapArgumentError(None, "%r is not a (database, code) pair of texts" % (name,))
    if not isinstance(name, str):
        raise KovrapArgumentError(None, "%r is not DATABASE:CODE" % (name,))
    skip = 2 if _DRIVE.match(name) else 0
    colon = name.find(":", skip)
    if colon < 0:
        return name, ""
    return name[:colon], name[colon + 1:]


class Requests:
    """The series of one call as parallel lists: names as written (text form
    of a tuple: DATABASE:CODE), databases, codes, the paths the library
    opens. Built with one pass in C per list wherever it can."""

    __slots__ = ("names", "databases", "_code_list", "paths", "encoding", "direct", "_codes",
                 "_unique")

    names: List[str]
    databases: List[str]
    _code_list: Optional[List[str]]
    paths: List[str]
    encoding: str
    direct: int
    _codes: Optional["Texts"]
    _unique: Optional[List[str]]

    def __init__(self, series: Any, direct: int, encoding: str,
                 path_of: Callable[[str], str]) -> None:
        if isinstance(series, (str, tuple)):
            series = [series]
        elif series is None or not hasattr(series, "__iter__"):
            raise KovrapArgumentError(
                None, "series must be DATABASE:CODE, a (database, code) tuple or a list of "
                      "them, not %r" % (series,))
        series = list(series)
        if not series:
            raise KovrapArgumentError(None, "no series given")
        fast = _one_database(series, encoding)
        if fast is not None:
            database, block = fast
            self.names, self.databases, self._code_list = series, [database] * len(series), None
            self.paths = [path_of(database)] * len(series)
            self.encoding, self.direct, self._codes = encoding, direct, block
            self._unique = [self.paths[0]]
            # A comma in a direct code is refused by the general path.
            if not direct or b"," not in (block.block or b""):
                _refuse_twice(self.names)
                return
        self._codes = self._unique = None
        if set(map(type, series)) == {str}:
            names = series
            # Mostly plain names: split in C, and again only those with a drive.
            parts = list(map(str.partition, names, itertools.repeat(":")))
            databases = list(map(_FIRST, parts))
            codes = list(map(_LAST, parts))
            if 1 in map(len, databases):
                for k, name in enumerate(names):
                    if _DRIVE.match(name):
                        databases[k], codes[k] = _split(name)
            missing = "" in databases or "" in codes
        else:
            pairs = list(map(_split, series))
            databases = [d for d, _ in pairs]
            codes = [c for _, c in pairs]
            names = [s if isinstance(s, str) else d + ":" + c
                     for s, (d, c) in zip(series, pairs)]
            missing = "" in databases or "" in codes
        if missing:
            k = next(k for k in range(len(names)) if not databases[k] or not codes[k])
            raise KovrapArgumentError(None, "'%s' is not DATABASE:CODE" % shown(names[k]))
        # Refused before the library sees them: a control character would end
        # or bend the text the library reads.
        unique = dict.fromkeys(databases)
        if _CONTROL.search("".join(unique)) or _CONTROL.search("".join(codes)):
            k = next(k for k in range(len(names))
                     if _CONTROL.search(databases[k]) or _CONTROL.search(codes[k]))
            raise KovrapArgumentError(None, "'%s' holds a control character" % shown(names[k]))
        if max(map(len, codes)) > MAX_CODE or not "".join(codes).isascii():
            for k, code in enumerate(codes):
                if len(code) > MAX_CODE or len(code.encode(encoding, "replace")) > MAX_CODE:
                    raise KovrapArgumentError(
                        None, "'%s' has a code longer than %d bytes" % (names[k], MAX_CODE))
        if direct and "," in "".join(codes):
            k = next(k for k, code in enumerate(codes) if "," in code)
            raise KovrapArgumentError(
                None, "'%s' has a comma in its code, which the direct library cannot take"
                      % names[k])
        _refuse_twice(names)
        self.names, self.databases, self.codes = names, databases, codes
        paths = {database: path_of(database) for database in unique}
        self.paths = list(map(paths.__getitem__, databases))
        self.encoding, self.direct = encoding, direct

    @property
    def codes(self) -> List[str]:
        """The codes as text; those of the fast path cut from the names only
        when asked for."""
        if self._code_list is None:
            head = len(self.databases[0]) + 1
            self._code_list = list(map(operator.itemgetter(slice(head, None)), self.names))
        return self._code_list

    @codes.setter
    def codes(self, codes: List[str]) -> None:
        self._code_list = codes

    def __len__(self) -> int:
        return len(self.names)

    def codes_differ(self) -> bool:
        """Whether no code is given twice. Names of one database differ where
        their codes do, and the names' hashes are kept from call to call."""
        items = self.names if self._unique is not None else self.codes
        return len(set(items)) == len(items)

    def take(self, indices: List[int]) -> "Requests":
        """The requests at these indices, as a Requests of their own."""
        other = object.__new__(Requests)
        for field in ("names", "databases", "codes", "paths"):
            values = getattr(self, field)
            setattr(other, field, [values[k] for k in indices])
        other.encoding, other.direct, other._codes, other._unique = (
            self.encoding, self.direct, None, None)
        return other

    def arguments(self) -> Tuple["Texts", "Texts", "Texts", int]:
        """The library's request lists: codes, each request's database and
        the databases once each, with the count of those."""
        codes = self._codes if self._codes is not None else Texts.joined(self.codes, self.encoding)
        unique = self._unique or list(dict.fromkeys(self.paths))
        databases = Texts([os.fsencode(path) for path in unique])
        if len(unique) == 1:
            db_names = Texts.repeated(databases, len(self))
        else:
            where = dict(zip(unique, range(len(unique))))
            db_names = Texts.picked(databases, np.fromiter(map(where.__getitem__, self.paths),
                                                           dtype=np.intp, count=len(self)))
        return codes, db_names, databases, len(unique)


def _refuse_twice(names: List[str]) -> None:
    """A series named twice would give two columns of one label: refused,
    rather than made unique by a rule the caller must guess."""
    if len(set(names)) != len(names):
        seen = set()
        for twice in names:
            if twice in seen:
                break
            seen.add(twice)
        raise KovrapArgumentError(None, "'%s' is named twice: name each series once"
                                  % shown(twice))


def _one_database(names: List[Any], encoding: str) -> Optional[Tuple[str, "Texts"]]:
    """The common case at the speed of a few passes over the bytes of all
    names together: plain names of one database, each a code of at most 9
    bytes, without control characters. Gives (database, code Texts), or
    None for anything else, which the general path reads (and refuses)."""
    first = names[0]
    if not isinstance(first, str) or _DRIVE.match(first):
        return None
    database, colon, _ = first.partition(":")
    if not colon or not database:
        return None
    try:
        # Only texts join: a tuple anywhere in the list leaves it to the
        # general path.
        joined = ("\0".join(names) + "\0").encode(encoding)
        prefix = (database + ":").encode(encoding)
    except (TypeError, UnicodeError):
        return None
    view = np.frombuffer(joined, dtype=np.uint8)
    ends = np.flatnonzero(view == 0)
    n = len(names)
    # No control byte but the NULs that end the names.
    if ends.size != n or np.count_nonzero(view < 0x20) != n or (view == 0x7f).any():
        return None
    starts = np.empty(n, dtype=np.intp)
    starts[0] = 0
    starts[1:] = ends[:-1] + 1
    width = len(prefix)
    lengths = ends - starts - width
    if lengths.min() < 1 or lengths.max() > MAX_CODE:
        return None
    # Every name starts with the database and its colon, compared a byte of
    # the head at a time for all names. The codes stay where they are: the
    # library reads each from behind its head to the name's NUL.
    for k, byte in enumerate(prefix):
        if (view[starts + k] != byte).any():
            return None
    texts = object.__new__(Texts)
    texts.block, texts.view, texts.owner = joined, view, None
    texts.pointers = (starts + width).astype(np.uintp) + np.uintp(view.ctypes.data)
    return database, texts


class Texts:
    """A request list as one block of NUL-ended strings and a pointer to
    each, built without a loop over the strings."""

    __slots__ = ("block", "view", "pointers", "owner")

    block: Optional[bytes]
    view: Optional[Array]
    pointers: Array
    owner: Optional["Texts"]

    def __init__(self, items: List[bytes]) -> None:
        self._from_block(b"\0".join(items) + b"\0", len(items))

    def _from_block(self, block: bytes, count: int) -> None:
        self.block = block
        self.view = np.frombuffer(block, dtype=np.uint8)
        ends = np.flatnonzero(self.view == 0)
        if ends.size != max(count, 1):
            raise KovrapArgumentError(None, "a code or database name does not travel as text "
                                            "(a NUL byte in its encoding)")
        starts = np.zeros(count, dtype=np.uintp)
        starts[1:] = ends[:count - 1] + 1
        self.pointers = starts + np.uintp(self.view.ctypes.data)
        self.owner = None

    @classmethod
    def joined(cls, texts: List[str], encoding: str) -> "Texts":
        """From str: encoded as one block, not one by one."""
        self = object.__new__(cls)
        try:
            block = ("\0".join(texts) + "\0").encode(encoding)
        except UnicodeEncodeError as e:
            raise KovrapArgumentError(None, "a code cannot be written in %s: %s"
                                            % (encoding, e.object[e.start:e.end])) from None
        self._from_block(block, len(texts))
        return self

    @classmethod
    def repeated(cls, texts: "Texts", count: int) -> "Texts":
        """count pointers to the first string of another list."""
        self = object.__new__(cls)
        self.block, self.view, self.owner = None, None, texts
        self.pointers = np.full(count, texts.pointers[0], dtype=np.uintp)
        return self

    @classmethod
    def picked(cls, texts: "Texts", indices: Array) -> "Texts":
        self = object.__new__(cls)
        self.block, self.view, self.owner = None, None, texts
        self.pointers = texts.pointers[indices]
        return self

    @property
    def argument(self) -> Any:
        return self.pointers.ctypes.data_as(native.TextArray)
