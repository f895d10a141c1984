"""The package's errors: one base class, and a subclass per kind of failure
that also joins the built-in family a caller would catch it by."""

from typing import Any, Optional, Tuple, Type, Union, cast


class KovrapError(Exception):
    """A failure of the library or of the request.

    Every error of the package is one; its subclasses say the kind of
    failure and also join the built-in family a caller would catch it by.
    Errors pickle with their status and message.

    Parameters
    ----------
    status : int, optional
        The library's status; None when the request itself is wrong.
    message : str
        A sentence in the user's terms. ``KovrapError("text")`` is a
        message without a status.

    Attributes
    ----------
    status : int or None
    message : str

    Examples
    --------
    >>> try:
    ...     kv.fetch("ECON:NOSUCH")
    ... except LookupError as e:
    ...     print(e.status, e)
    1 unknown series ECON:NOSUCH
    """

    status: Optional[int]
    message: str

    def __init__(self, status: Union[int, str, None] = None, message: str = "") -> None:
        # KovrapError("text") is a message without a status.
        if message == "" and isinstance(status, str):
            message = status
            status = None
        super().__init__(status, message)
        self.status = cast(Optional[int], status)
        self.message = message

    def __str__(self) -> str:
        return self.message

    def __reduce__(self) -> Tuple[Type["KovrapError"], Tuple[Any, ...]]:
        # Both arguments travel, so that the error survives a process pool.
        return (type(self), (self.status, self.message))


class KovrapArgumentError(KovrapError, ValueError):
    """The request itself is wrong: a name, a date, a frequency, an
    operation, an aggregation, a log-in argument. Its status is None.

    Examples
    --------
    >>> kv.fetch("ECON:UKGAS", start="1991Q5")
    Traceback (most recent call last):
    ...
    kovrap.KovrapArgumentError: bad date '1991Q5' (use a pandas Period, ...)
    """


class KovrapLookupError(KovrapError, LookupError):
    """An unknown series, or a database that does not open (the message
    names the path tried).

    Examples
    --------
    >>> kv.codes("NOSUCH")
    Traceback (most recent call last):
    ...
    kovrap.KovrapLookupError: cannot open database 'NOSUCH': no regular file ...
    """


class KovrapLoginError(KovrapError):
    """A failed log-in, or a read on the direct library without one.

    Examples
    --------
    >>> kovrap.Kovrap(direct=True).codes("ECON")
    Traceback (most recent call last):
    ...
    kovrap.KovrapLoginError: log in first: the direct library has no log-in for ...
    """


class KovrapForkError(KovrapError):
    """The process was forked while another thread was inside a library call.

    The child's copy of the libraries' state is that of an unfinished call,
    so the child refuses every library call rather than deadlock or read
    it: fork while no call runs, or use the spawn start method.
    """
