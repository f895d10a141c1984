class KovrapError(Exception):
    """A failure of the library or of the request: status is the library's
    status (None when the request itself is wrong), the message a sentence."""

    def __init__(self, status, message):
        super().__init__(message)
        self.status = status
        self.message = message
