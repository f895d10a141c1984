"""The package's errors: one base class, and a subclass per kind of failure
that also joins the built-in family a caller would catch it by."""


class KovrapError(Exception):
    """A failure of the library or of the request: status is the library's
    status (None when the request itself is wrong), the message a sentence."""

    def __init__(self, status=None, message=""):
        # KovrapError("text") is a message without a status.
        if message == "" and isinstance(status, str):
            status, message = None, status
        super().__init__(status, message)
        self.status = status
        self.message = message

    def __str__(self):
        return self.message

    def __reduce__(self):
        # Both arguments travel, so that the error survives a process pool.
        return (type(self), (self.status, self.message))


class KovrapArgumentError(KovrapError, ValueError):
    """The request itself is wrong: a name, a date, a frequency, an operation."""


class KovrapLookupError(KovrapError, LookupError):
    """An unknown series or a database that does not open."""


class KovrapLoginError(KovrapError):
    """A failed log-in, or a read on the direct library without one."""


class KovrapForkError(KovrapError):
    """The process was forked while another thread was inside a library call:
    the libraries' state is that of an unfinished call, and the child
    refuses the library."""
