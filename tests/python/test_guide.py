"""Every example of the user guide runs, from the repository root, with the output it shows."""

import doctest
import pathlib
import re

ROOT = pathlib.Path(__file__).resolve().parents[2]
GUIDE = ROOT / "docs" / "guide.md"
BLOCK = re.compile(r"^```python\n(.*?)^```", re.MULTILINE | re.DOTALL)


def test_guide_examples(monkeypatch):
    monkeypatch.chdir(ROOT)
    text = GUIDE.read_text()
    parser = doctest.DocTestParser()
    runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
    report = []
    names: dict = {}  # the sessions share their names, as one reader's session would
    examples = 0
    for block in BLOCK.finditer(text):
        line = text.count("\n", 0, block.start(1))
        test = parser.get_doctest(block.group(1), names, "guide", str(GUIDE), line)
        examples += len(test.examples)
        runner.run(test, out=report.append, clear_globs=False)
        names = test.globs
    assert examples > 40
    assert runner.failures == 0, "".join(report)
