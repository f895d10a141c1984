"""The types of the public API's arguments, named once."""

import datetime
from typing import Any, Iterable, Mapping, Optional, Sequence, Tuple, Union

import numpy as np
import pandas as pd

# A series: "DATABASE:CODE", or (database, code) for a database whose name
# holds a colon.
SeriesName = Union[str, Tuple[str, str]]
# One series or several, in order.
SeriesNames = Union[SeriesName, Iterable[SeriesName]]
# A start, an end or a rebase date.
DateLike = Union[str, int, "pd.Period", datetime.date, np.datetime64]
# A frequency: a name, a pandas alias or offset, or the library's code.
FrequencyLike = Union[str, int, "pd.DateOffset"]
# One operation: a name with its parameter, or a code.
Operation = Union[str, int]
# Operations of a fetch: one for every series, one per series in order, or
# by column or series name.
Operations = Union[None, Operation, Sequence[Optional[Operation]], "pd.Series[Any]",
                   "np.ndarray[Any, Any]", Mapping[Any, Optional[Operation]]]
