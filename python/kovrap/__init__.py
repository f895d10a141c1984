"""Kovrap time series as pandas objects.

Series of Kovrap's databases as DataFrame columns over a PeriodIndex, the
catalogue as lists and frames; see :class:`Kovrap`.

Examples
--------
>>> import kovrap
>>> kv = kovrap.Kovrap()  # the library and data of KOVRAP_LIBRARY, KOVRAP_DATA_DIR
>>> kv.fetch("ECON:UKGAS").shape
(108, 1)
"""

from ._api import CommonRange, Kovrap
from ._calendar import alias_of, frequency_name
from ._errors import KovrapArgumentError, KovrapError, KovrapLoginError, KovrapLookupError
from ._errors import KovrapForkError
from ._native import MISSING, library_name
from ._warnings import (KovrapCutListingWarning, KovrapOperationWarning, KovrapSetAsideWarning,
                        KovrapWarning, KovrapWeekdayWarning)

__all__ = ["Kovrap", "KovrapError", "KovrapArgumentError", "KovrapLookupError",
           "KovrapLoginError", "KovrapForkError", "CommonRange", "MISSING", "alias_of",
           "frequency_name", "library_name", "KovrapWarning", "KovrapSetAsideWarning",
           "KovrapWeekdayWarning", "KovrapCutListingWarning", "KovrapOperationWarning"]
__version__ = "0.1.0"

# The public classes are shown, and pickled, under the package's own name
# (kovrap.KovrapError), not the private module that defines them.
for _public in (Kovrap, CommonRange, KovrapError, KovrapArgumentError, KovrapLookupError,
                KovrapLoginError, KovrapForkError, KovrapWarning, KovrapSetAsideWarning,
                KovrapWeekdayWarning, KovrapCutListingWarning, KovrapOperationWarning):
    _public.__module__ = __name__
del _public
