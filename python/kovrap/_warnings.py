"""The package's warnings: one base class to filter on, a subclass per
kind of note. Each is a UserWarning, as the notes were before."""


class KovrapWarning(UserWarning):
    """A note on a result that holds but is not all that was asked for.

    Every warning of the package is one; its subclasses say what kind of
    note it is, so that one kind can be filtered apart.

    Examples
    --------
    >>> import warnings
    >>> warnings.simplefilter("ignore", kovrap.KovrapSetAsideWarning)
    >>> issubclass(kovrap.KovrapSetAsideWarning, UserWarning)
    True
    """


class KovrapSetAsideWarning(KovrapWarning):
    """A series was left out of the window, with the reason: it has no
    observations, is finer and not to be aggregated, coarser than the
    frequency asked for, or weekly on a day its weeks cannot be remade on.
    Its column is empty."""


class KovrapWeekdayWarning(KovrapWarning):
    """Which day the weeks end on: the day the weekly group took from the
    first series, or a weekly series shown on another weekday than its
    own."""


class KovrapCutListingWarning(KovrapWarning):
    """A direct listing stopped at its library's limit of calls for names
    and may have been cut."""


class KovrapOperationWarning(KovrapWarning):
    """An advanced count (or a rebase without a base value) failed for one
    series; its column is empty and the others are kept."""
