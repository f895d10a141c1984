"""What is true only of the stand-in database libraries (standin/), and
nowhere else in the package: their status words and numbers, the variable
TQVD_DATA_DIR that points their direct library at a folder, and their folder
layout (a database NAME is the file NAME.tqvdb). A real library numbers its
statuses and keeps its databases its own way, so each particular here is
used only while the stand-in is the library loaded, as its version text
says: running beside the real libraries means reviewing this one file."""

import contextlib
import os
from typing import Dict, Iterator, List, Optional, Tuple

# c_kovraCVersion's texts of the stand-ins: the local, the direct library.
LOCAL_VERSION = "tqvapi64 standin "
DIRECT_VERSION = "tqvdapi64 standin "

# The statuses as standin/include/tqv_standin.h documents them.
STATUS_WORDS: Dict[int, str] = {
    1: "no such series in the database",
    2: "the database is not open",
    3: "not logged in",
    4: "the direct library's code list is used up",
    10: "no such database",
    11: "not a database",
    20: "the window ends before it starts",
    21: "a frequency the operation cannot take",
    22: "a higher frequency than the series holds",
    23: "the window is longer than the buffer",
    30: "an operation code the library does not know",
    31: "too few observations for the operation",
    40: "wrong user or password",
    1011: "no more names",
}
NOT_LOGGED_IN = 3  # the direct library, before a log-in for the folder
NO_SUCH_DATABASE = 10  # the local library: no database file of that name
NOT_A_DATABASE = 11
END_OF_NAMES = 1011  # the direct library's first answer for a database without series

# The direct library's data folder, read again at every call.
FOLDER_VARIABLE = "TQVD_DATA_DIR"
# A database NAME is the file NAME.tqvdb of the folder (the local library
# opens NAME itself first).
SUFFIX = ".tqvdb"


def is_standin_version(version: str, direct: bool) -> bool:
    """Whether a version text of c_kovraCVersion is the stand-in's."""
    return version.startswith(DIRECT_VERSION if direct else LOCAL_VERSION)


def words(status: int) -> Optional[str]:
    """The stand-in's words for one of its statuses, None for another."""
    return STATUS_WORDS.get(status)


def folder_from_environment() -> Optional[str]:
    """The direct library's own data folder, when the variable names one."""
    return os.environ.get(FOLDER_VARIABLE) or None


@contextlib.contextmanager
def pointed_at(folder: str) -> Iterator[None]:
    """The direct library pointed at a folder for one call (the caller holds
    the process-wide lock), and what was there restored after it."""
    before = os.environ.get(FOLDER_VARIABLE)
    os.environ[FOLDER_VARIABLE] = folder
    try:
        yield
    finally:
        if before is None:
            os.environ.pop(FOLDER_VARIABLE, None)
        else:
            os.environ[FOLDER_VARIABLE] = before


def paths_tried(path: str) -> Tuple[str, str]:
    """The files the local library tries for a database name."""
    return path, path + SUFFIX


def database_names(folder: str) -> List[str]:
    """The databases of a folder, by name, in byte order: its regular files
    NAME.tqvdb."""
    return sorted(entry.name[:-len(SUFFIX)] for entry in os.scandir(folder)
                  if entry.name.endswith(SUFFIX) and entry.is_file())
