"""The one way to the library: under the process-wide lock, with the
calling object's own data folder."""

import contextlib
import os
import threading
from typing import TYPE_CHECKING, Any, Iterator, NoReturn

from . import _standin
from ._errors import KovrapError, KovrapForkError

if TYPE_CHECKING:
    from ._api import Kovrap

# The database libraries keep their settings and open databases process-wide,
# so every call of every Kovrap object goes through this one lock.
LOCK = threading.RLock()

# Calls inside the library now (changed under LOCK only), and whether this
# process is a fork of one that had a call inside the library at the fork.
_inside = 0
_forked_mid_call = False


def _after_fork_in_child() -> None:
    # The thread that held the lock did not come along: a fresh lock, and no
    # call inside. A call that was inside the library at the fork left its
    # state half-changed, so this process refuses the library from now on.
    global LOCK, _inside, _forked_mid_call
    LOCK = threading.RLock()
    if _inside:
        _forked_mid_call = True
    _inside = 0


if hasattr(os, "register_at_fork"):
    os.register_at_fork(after_in_child=_after_fork_in_child)


def _refuse_forked() -> NoReturn:
    raise KovrapForkError(None, "this process was forked while another thread was inside a "
                                "Kovrap library call, so the libraries' state is that of an "
                                "unfinished call: call the library from the parent, or fork "
                                "when no call is running")


@contextlib.contextmanager
def calling(host: "Kovrap") -> Iterator[Any]:
    """Holds the lock; on the stand-in's direct library points the data
    service at the object's data_dir for the call and restores what was
    there after it, so that each object reads its own folder whatever others
    were made after it.
    In a process forked while a call was running it refuses with
    KovrapForkError."""
    global _inside
    if host.lib is None:
        raise KovrapError(None, "this Kovrap object is closed")
    if _forked_mid_call:
        _refuse_forked()
    with LOCK:
        if _forked_mid_call:
            _refuse_forked()
        _inside += 1
        try:
            if not host.direct or host.data_dir is None or not host._standin:
                yield host.lib
                return
            with _standin.pointed_at(host.data_dir):
                yield host.lib
        finally:
            _inside -= 1
