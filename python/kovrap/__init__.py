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
