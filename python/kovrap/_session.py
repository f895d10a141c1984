"""The one way to the library: under the process-wide lock, with the
calling object's own data folder."""

import contextlib
import os
import threading

# The database libraries keep their settings and open databases process-wide,
# so every call of every Kovrap object goes through this one lock.
LOCK = threading.RLock()

_FOLDER = "TQVD_DATA_DIR"


@contextlib.contextmanager
def calling(host):
    """Holds the lock; on the direct library points the data service at the
    object's data_dir for the call and restores what was there after it, so
    that each object reads its own folder whatever others were made after it."""
    with LOCK:
        if not host.direct or host.data_dir is None:
            yield host.lib
            return
        before = os.environ.get(_FOLDER)
        os.environ[_FOLDER] = host.data_dir
        try:
            yield host.lib
        finally:
            if before is None:
                os.environ.pop(_FOLDER, None)
            else:
                os.environ[_FOLDER] = before
