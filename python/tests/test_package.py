"""The package as installed: where it is imported from, its version, its documentation and
its type stubs, which must match what the package really takes."""
import ast
import dataclasses
import inspect
import os
import re

import pytest

import rdsim
from rdsim import _core
from conftest import batch


def test_the_installed_package_is_imported():
    installed = os.environ.get("RDSIM_INSTALLED")
    assert installed, "run through run_installed.py"
    assert os.path.dirname(rdsim.__file__) == os.path.join(installed, "rdsim")
    assert os.path.dirname(_core.__file__) == os.path.dirname(rdsim.__file__)


def test_the_version_is_the_programs():
    _, out, _ = batch("--version")
    assert out.split()[-1] == rdsim.__version__
    assert _core.PROGRAM == "rdsim-python " + rdsim.__version__


def public_members():
    for name in rdsim.__all__:
        obj = getattr(rdsim, name)
        if isinstance(obj, tuple):
            continue
        yield name, obj
        if inspect.isclass(obj):
            for member, value in vars(obj).items():
                if not member.startswith("_") and (callable(value) or
                                                   isinstance(value, property)):
                    yield "%s.%s" % (name, member), value


def test_every_public_name_is_documented():
    missing = [name for name, obj in public_members()
               if len((inspect.getdoc(obj) or "").strip()) < 10]
    assert missing == []
    assert "init" in inspect.getdoc(rdsim.Simulation) and "GIL" in rdsim.Simulation.step.__doc__


def stub_tree(name):
    with open(os.path.join(os.path.dirname(rdsim.__file__), name)) as f:
        return ast.parse(f.read())


def stub_parameters(node):
    a = node.args
    names = [p.arg for p in a.posonlyargs + a.args]
    return names, [p.arg for p in a.kwonlyargs], a.vararg is not None, a.kwarg is not None


def runtime_parameters(function):
    ps = inspect.signature(function).parameters.values()
    positional = [p.name for p in ps if p.kind in (p.POSITIONAL_ONLY, p.POSITIONAL_OR_KEYWORD)]
    keyword = [p.name for p in ps if p.kind == p.KEYWORD_ONLY]
    return (positional, keyword, any(p.kind == p.VAR_POSITIONAL for p in ps),
            any(p.kind == p.VAR_KEYWORD for p in ps))


def test_the_public_stubs_match_the_package():
    tree = stub_tree("__init__.pyi")
    stubbed = set()
    for node in tree.body:
        if isinstance(node, ast.FunctionDef):
            stubbed.add(node.name)
            assert stub_parameters(node) == runtime_parameters(getattr(rdsim, node.name)), \
                node.name
        elif isinstance(node, ast.ClassDef):
            stubbed.add(node.name)
            cls = getattr(rdsim, node.name)
            for item in node.body:
                if isinstance(item, ast.FunctionDef) and not any(
                        isinstance(d, ast.Attribute) for d in item.decorator_list):
                    runtime = inspect.getattr_static(cls, item.name)
                    if isinstance(runtime, property):
                        continue
                    stubbed_parameters = stub_parameters(item)
                    # A class method is seen bound: without its class parameter.
                    if isinstance(runtime, classmethod):
                        stubbed_parameters[0].pop(0)
                    assert stubbed_parameters == runtime_parameters(
                        getattr(cls, item.name)), "%s.%s" % (node.name, item.name)
            if dataclasses.is_dataclass(cls):
                fields = [f.name for f in dataclasses.fields(cls) if not f.name.startswith("_")]
                stubs = [i.target.id for i in node.body if isinstance(i, ast.AnnAssign)]
                assert stubs == fields, node.name
        elif isinstance(node, ast.AnnAssign):
            stubbed.add(node.target.id)
    assert set(rdsim.__all__) <= stubbed


def core_parameters(function):
    # pybind11 puts the signature on the first line of the docstring.
    first = function.__doc__.splitlines()[0]
    inner = re.match(r"\w+\((.*)\) ->", first).group(1)
    return [p.split(":")[0].strip() for p in inner.split(", ") if p]


def test_the_core_stubs_match_the_module():
    for node in stub_tree("_core.pyi").body:
        if isinstance(node, ast.FunctionDef):
            names = stub_parameters(node)[0]
            assert names == core_parameters(getattr(_core, node.name)), node.name
        elif isinstance(node, ast.ClassDef):
            cls = getattr(_core, node.name)
            for item in node.body:
                if isinstance(item, ast.FunctionDef) and not item.decorator_list:
                    names = stub_parameters(item)[0]
                    assert names == core_parameters(getattr(cls, item.name)), \
                        "%s.%s" % (node.name, item.name)


@pytest.mark.parametrize("name", ["Simulation", "analyze", "atlas", "sweep", "replay",
                                  "measure"])
def test_help_answers(name, capsys):
    help(getattr(rdsim, name))
    assert len(capsys.readouterr().out.splitlines()) > 5
