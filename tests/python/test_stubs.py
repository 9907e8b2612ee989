"""The type stub must describe the native classes exactly: every method, its kind, its
parameter names (callers use them as keywords) and a return type."""

import ast
import pathlib

import pytest

import wavesift
from wavesift._core import PyExpr, PyTrace

PACKAGE = pathlib.Path(wavesift.__file__).parent
SOURCE = pathlib.Path(__file__).resolve().parents[2] / "src" / "wavesift"


def stub_methods(cls_name):
    tree = ast.parse((SOURCE / "_core.pyi").read_text())
    (cls,) = [n for n in tree.body if isinstance(n, ast.ClassDef) and n.name == cls_name]
    return {f.name: f for f in cls.body if isinstance(f, ast.FunctionDef)}


def runtime_parameters(cls, name):
    """Parameter names from the method's text signature, and whether it is static."""
    static = isinstance(cls.__dict__[name], staticmethod)
    signature = getattr(cls, name).__text_signature__.strip("()")
    names = [p.strip() for p in signature.split(",") if p.strip()]
    return static, [p for p in names if p != "$self"]


@pytest.mark.parametrize("cls", [PyTrace, PyExpr])
def test_stub_lists_every_method_with_its_parameters(cls):
    stubbed = stub_methods(cls.__name__)
    public = [n for n in cls.__dict__ if not n.startswith("__")]
    assert sorted(stubbed) == sorted(public)
    for name in public:
        static, params = runtime_parameters(cls, name)
        function = stubbed[name]
        decorators = [d.id for d in function.decorator_list if isinstance(d, ast.Name)]
        assert ("staticmethod" in decorators) == static, name
        stub_params = [a.arg for a in function.args.args]
        assert stub_params == (params if static else ["self"] + params), name
        assert function.returns is not None, name
        assert all(a.annotation is not None for a in function.args.args if a.arg != "self"), name
        assert ast.get_docstring(function), name


def test_stub_and_marker_ship_with_the_package():
    for name in ("_core.pyi", "py.typed"):
        assert (PACKAGE / name).read_bytes() == (SOURCE / name).read_bytes()
