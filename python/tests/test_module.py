"""The module's face: the stubs name exactly what the module has (and mypy's stubtest agrees
with them), help(moxxml) explains every public name, and C++ failures arrive as Error."""
import ast
import inspect
import os
import pathlib
import pydoc
import re
import subprocess
import sys

import moxxml
from conftest import SOURCE

STUB = pathlib.Path(moxxml.__file__).with_name("__init__.pyi")


def public(names):
    return {n for n in names if not n.startswith("_")}


def stub_names():
    """Top-level public names of the stub, and the public members of each class in it."""
    tree = ast.parse(STUB.read_text())
    names, members = set(), {}
    for node in tree.body:
        if isinstance(node, (ast.ClassDef, ast.FunctionDef)):
            names.add(node.name)
        if isinstance(node, ast.ClassDef):
            members[node.name] = public(
                item.name if isinstance(item, ast.FunctionDef) else item.target.id
                for item in node.body if isinstance(item, (ast.FunctionDef, ast.AnnAssign)))
    return public(names), members


def runtime_members(cls):
    own = set()
    for klass in cls.__mro__:
        if klass.__module__ in ("builtins", "pybind11_builtins"):
            break
        own |= set(vars(klass))
    if cls is moxxml.Error:  # set by __init__
        own |= {"code", "where", "text"}
    if "__slots__" in vars(cls):
        own |= set(cls.__slots__)
    return public(own)


def test_stub_and_module_name_the_same_things():
    names, members = stub_names()
    assert names == set(moxxml.__all__)
    assert public(n for n in vars(moxxml) if not inspect.ismodule(getattr(moxxml, n))) == names
    for name, stub_members in members.items():
        if name.startswith("_"):
            continue
        assert runtime_members(getattr(moxxml, name)) == stub_members, name


def test_stubtest_finds_the_stub_true_to_the_module():
    result = subprocess.run(
        [sys.executable, "-m", "mypy.stubtest", "moxxml", "--allowlist",
         str(pathlib.Path(__file__).with_name("stubtest_allowlist.txt")),
         "--mypy-config-file", os.devnull],
        capture_output=True, text=True, cwd=pathlib.Path(moxxml.__file__).parent.parent,
        env={**os.environ, "MYPY_CACHE_DIR": os.devnull})
    assert result.returncode == 0, result.stdout + result.stderr


def test_type_checkers_find_part_unhashable_as_it_is():
    # Part sets __hash__ = None; a stub without it let mypy accept a Part where a hashable
    # object is needed.
    assert moxxml.Part.__hash__ is None
    result = subprocess.run(
        [sys.executable, "-m", "mypy", "--config-file", os.devnull, "-c",
         "import typing, moxxml\nkey: typing.Hashable = moxxml.Part()\n"],
        capture_output=True, text=True, cwd=pathlib.Path(moxxml.__file__).parent.parent,
        env={**os.environ, "MYPY_CACHE_DIR": os.devnull})
    assert result.returncode == 1, result.stdout + result.stderr
    assert '__hash__: expected "Callable[[], int]", got "None"' in result.stdout, result.stdout


def test_help_explains_every_public_name():
    text = pydoc.render_doc(moxxml, renderer=pydoc.plaintext)
    for name in moxxml.__all__:
        obj = getattr(moxxml, name)
        assert re.search(rf"\b{name}\b", text), name
        assert inspect.getdoc(obj), name
        assert obj.__module__ == "moxxml", name
        if inspect.isclass(obj):
            for member in runtime_members(obj):
                attribute = getattr(obj, member, None)
                if callable(attribute):
                    assert inspect.getdoc(attribute), f"{name}.{member}"
                    assert f"{member}(" in text, f"{name}.{member}"
    for phrase in ("UTF-8", "surrogateescape", "MemoryError", "GIL", "SerializerWarning"):
        assert phrase in text
    assert str(inspect.signature(moxxml.parse_message)) == "(data, chunk_size=65536)"
    assert str(inspect.signature(moxxml.Builder.add_transport_protocol)) == \
        "(self, name, version, headers='', context=None)"


def test_version_is_the_project_version():
    project = re.search(r"project\(moxxml VERSION (\S+)", (SOURCE / "CMakeLists.txt").read_text())
    assert moxxml.__version__ == project.group(1)
