import os
import subprocess
import sys
import weakref

import pytest

import wavesift
from wavesift import _core
from wavesift._core import PyExpr, PyTrace


def test_module_attributes():
    assert _core.__all__ == ["PyTrace", "PyExpr"]
    assert wavesift.PyTrace is PyTrace and wavesift.PyExpr is PyExpr
    for cls, name in ((PyTrace, "PyTrace"), (PyExpr, "PyExpr")):
        assert cls.__module__ == "builtins"
        assert cls.__qualname__ == name
        assert cls.__doc__ is None
        assert cls.__bases__ == (object,)


@pytest.mark.parametrize("cls", [PyTrace, PyExpr])
def test_class_properties(cls, small):
    with pytest.raises(TypeError):
        cls()
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})
    with pytest.raises(AttributeError):
        small.extra = 1
    with pytest.raises(TypeError):
        weakref.ref(small)
    # The class object itself stays assignable.
    cls.marker = 1
    del cls.marker


def test_doc_signatures():
    assert PyTrace.signal_value.__doc__ is None
    assert PyTrace.signal_value.__text_signature__ == "($self, name, index)"
    assert PyTrace.from_vcd.__text_signature__ == "(path)"
    assert PyTrace.max_index.__text_signature__ == "($self)"


def test_fresh_interpreter_imports_twice():
    code = ("import importlib, sys, wavesift._core as a; del sys.modules['wavesift._core'];"
            "import wavesift._core as b; assert a.PyTrace is b.PyTrace; print(b.__all__)")
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True)
    assert out.stdout.strip() == "['PyTrace', 'PyExpr']"
