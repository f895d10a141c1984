"""examples/series.py declares by hand, with ctypes alone, what the package
kovrap declares too (python/kovrap/_native.py): the missing value, the records
it passes and the exports it calls. Each of them must be the package's.

    series_declarations.py SERIES_PY NATIVE_PY LIBRARY
"""

import ctypes
import importlib.machinery
import sys
import types


def module_from(path, name):
    """The file run as a module of its own, outside the package."""
    module = types.ModuleType(name)
    module.__file__ = path
    importlib.machinery.SourceFileLoader(name, path).exec_module(module)
    return module


def describe(t):
    """A ctypes type as text, structures by name and fields, so that the
    example's own classes compare with the package's."""
    if t is None:
        return "void"
    if isinstance(t, type) and issubclass(t, ctypes.Structure):
        fields = ", ".join(f"{name}: {describe(kind)}" for name, kind in t._fields_)
        return f"struct {t.__name__} {{{fields}}}"
    if isinstance(t, type) and issubclass(t, ctypes._Pointer):
        return "pointer to " + describe(t._type_)
    return t.__name__


def main():
    series_py, native_py, library = sys.argv[1:4]
    example = module_from(series_py, "series_example")
    native = module_from(native_py, "kovrap_native")
    problems = []

    if example.MISSING != native.MISSING:
        problems.append(f"MISSING is {example.MISSING}, the package's {native.MISSING}")

    records = [v for v in vars(example).values()
               if isinstance(v, type) and issubclass(v, ctypes.Structure)
               and v is not ctypes.Structure]
    for record in records:
        theirs = getattr(native, record.__name__, None)
        if theirs is None:
            problems.append(f"the package declares no record {record.__name__}")
        elif describe(record) != describe(theirs):
            problems.append(f"{describe(record)}\n  the package: {describe(theirs)}")

    # The exports the example declares: those whose argument types it sets.
    ours = example.load(library)
    package = native.load(library)
    exports = [name for name, _, _ in native.EXPORTS
               if getattr(ours, name).argtypes is not None]
    for name in exports:
        mine, theirs = getattr(ours, name), getattr(package, name)
        if [describe(a) for a in mine.argtypes] != [describe(a) for a in theirs.argtypes]:
            problems.append(f"{name} takes {[describe(a) for a in mine.argtypes]}\n"
                            f"  the package: {[describe(a) for a in theirs.argtypes]}")
        if describe(mine.restype) != describe(theirs.restype):
            problems.append(f"{name} returns {describe(mine.restype)}, "
                            f"the package's {describe(theirs.restype)}")

    # The example passes two records and calls four exports; finding fewer
    # would mean the comparison above looked at nothing.
    if len(records) < 2 or "c_kovraGetData" not in exports or len(exports) < 4:
        problems.append(f"found only the records {[r.__name__ for r in records]} "
                        f"and the exports {exports} in {series_py}")

    if problems:
        print("examples/series.py differs from the package kovrap:")
        for problem in problems:
            print("  " + problem)
        return 1
    print(f"series.py: MISSING, {len(records)} records and {len(exports)} exports "
          "as the package declares them")
    return 0


if __name__ == "__main__":
    sys.exit(main())
