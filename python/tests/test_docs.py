"""The examples of the docstrings and of the README run, as doctests, on the
sample databases: what they show is what the package gives today."""

import doctest
import importlib
import pkgutil
import re
import warnings

import pytest

import kovrap
from conftest import REPOSITORY

README = REPOSITORY / "python" / "README.md"
FLAGS = doctest.ELLIPSIS | doctest.NORMALIZE_WHITESPACE


def modules():
    yield kovrap
    for found in pkgutil.iter_modules(kovrap.__path__):
        yield importlib.import_module("kovrap." + found.name)


@pytest.fixture
def namespace(library, data_dir, bin_dir, monkeypatch):
    """What an example may take as given: the package, pandas, and the
    library and data of the sample build named by the environment."""
    import os

    import numpy as np
    import pandas as pd
    monkeypatch.setenv("KOVRAP_LIBRARY", library)
    monkeypatch.setenv("KOVRAP_DATA_DIR", str(data_dir))
    monkeypatch.delenv("TQVD_DATA_DIR", raising=False)
    monkeypatch.chdir(bin_dir.parent)
    password = (bin_dir / "demo.password").read_text().splitlines()[0]
    yield {"kovrap": kovrap, "pd": pd, "np": np, "os": os, "kv": kovrap.Kovrap(),
           "demo_password": password}
    # The examples log in: the next tests start logged out.
    try:
        kovrap.Kovrap(direct=True).login("demo", "a wrong password logs out")
    except kovrap.KovrapLoginError:
        pass


def run(tests):
    runner = doctest.DocTestRunner(optionflags=FLAGS)
    failed = []
    with warnings.catch_warnings():
        # A warning is said on stderr, out of the examples' output.
        warnings.simplefilter("ignore", kovrap.KovrapWarning)
        for test in tests:
            output = []
            result = runner.run(test, out=output.append)
            if result.failed:
                failed.append("".join(output))
    return runner, failed


def test_every_public_name_has_a_docstring():
    missing = []
    for name in kovrap.__all__:
        value = getattr(kovrap, name)
        if callable(value) and not (getattr(value, "__doc__", None) or "").strip():
            missing.append(name)
    for name, member in vars(kovrap.Kovrap).items():
        if callable(member) and not name.startswith("_") and not (member.__doc__ or "").strip():
            missing.append("Kovrap." + name)
    assert not missing


def test_the_docstrings_examples_run(namespace):
    finder = doctest.DocTestFinder(exclude_empty=True)
    tests = []
    for module in modules():
        tests += [t for t in finder.find(module, module.__name__, globs=dict(namespace))
                  if t.examples and t.name.startswith(module.__name__)]
    runner, failed = run(tests)
    assert not failed, "\n".join(failed)
    # The front's examples at least: none is lost by a finder that finds nothing.
    assert runner.tries >= 20, runner.tries


def test_the_readme_s_examples_run(namespace):
    text = README.read_text(encoding="utf-8")
    # The examples are the ">>>" lines of the README's python blocks.
    blocks = re.findall(r"```python\n(.*?)```", text, re.S)
    examples = "\n".join(b for b in blocks if b.lstrip().startswith(">>>"))
    test = doctest.DocTestParser().get_doctest(examples, dict(namespace), "README.md",
                                               str(README), 0)
    runner, failed = run([test])
    assert not failed, "\n".join(failed)
    assert runner.tries >= 20, runner.tries
