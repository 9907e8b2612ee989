"""The one error type of the expression language.

Every malformed expression ends here, so that callers see a `ValueError` that names the
column, says why, and shows the text with a caret under the offending spot.
"""


class ExpressionError(ValueError):
    """A malformed expression: `reason` at 1-based `column` of `text`, and a `hint`."""

    def __init__(self, reason: str, text: str, offset: int, hint: str = "") -> None:
        self.reason = reason
        self.hint = hint
        self.text = text
        self.column = offset + 1
        # The text is shown on one line; line breaks, tabs and other control characters
        # inside it would move the caret or garble the terminal.
        shown = "".join(ch if ch.isprintable() else " " for ch in text)
        advice = f"; {hint}" if hint else ""
        super().__init__(f"{reason} at column {self.column}{advice}\n  {shown}\n"
                         f"  {' ' * offset}^")
