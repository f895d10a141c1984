"""The ctypes declarations against include/Kovrap.h, and finding the library."""

import ctypes
import gc
import os
import re
import shutil
import subprocess
import weakref

import numpy as np
import pytest

import kovrap
from kovrap import _native as native
from conftest import REPOSITORY

HEADER = REPOSITORY / "include" / "Kovrap.h"


def compiler():
    found = os.environ.get("CC") or shutil.which("cc") or shutil.which("gcc")
    if not found:
        pytest.fail("no C compiler (cc) to compile the layout probe", pytrace=False)
    return found


def test_records_have_the_header_layout(tmp_path):
    # A probe compiled against the header prints what the C compiler lays out.
    lines = ['#include <stddef.h>', '#include <stdio.h>', '#include "Kovrap.h"',
             'int main(void) {']
    for record in native.RECORDS:
        name = record.__name__
        lines.append('printf("%s %%zu\\n", sizeof(%s));' % (name, name))
        for field, _ in record._fields_:
            lines.append('printf("%s.%s %%zu\\n", offsetof(%s, %s));' % (name, field, name, field))
    lines += ["return 0;", "}"]
    (tmp_path / "probe.c").write_text("\n".join(lines) + "\n")
    subprocess.run([compiler(), "-std=c99", "-I", str(HEADER.parent), "-o",
                    str(tmp_path / "probe"), str(tmp_path / "probe.c")], check=True)
    printed = subprocess.run([str(tmp_path / "probe")], capture_output=True, text=True,
                             check=True).stdout.split("\n")
    expected = {}
    for record in native.RECORDS:
        expected[record.__name__] = ctypes.sizeof(record)
        for field, _ in record._fields_:
            expected[record.__name__ + "." + field] = getattr(record, field).offset
    measured = {k: int(v) for k, v in (line.split() for line in printed if line)}
    assert measured == expected


def test_records_have_every_header_field_in_order():
    text = re.sub(r"/\*.*?\*/", " ", HEADER.read_text(), flags=re.S)
    records = dict(re.findall(r"typedef\s+struct\s+(\w+)\s*\{([^}]*)\}", text))
    assert sorted(records) == sorted(r.__name__ for r in native.RECORDS)
    for record in native.RECORDS:
        fields = re.findall(r"(\w+)\s*;", records[record.__name__])
        assert [f for f, _ in record._fields_] == fields, record.__name__


def test_every_export_is_declared(library):
    text = re.sub(r"/\*.*?\*/", " ", HEADER.read_text(), flags=re.S)
    text = re.sub(r"^\s*#.*$", " ", text, flags=re.M)
    exports = re.findall(r"KOVRAP_API\s+[\w\s\*]*?\b(\w+)\s*\(", text)
    assert sorted(exports) == sorted(name for name, _, _ in native.EXPORTS)
    lib = native.load(library)
    assert native.tqvd_chunk(lib) == 1000
    # A few calls through the declarations, with the header's own examples.
    assert lib.tqvdateToYmd(202402, 40) == 20240229
    assert lib.ymdToTqvdate(20230401, 30) == 20232
    assert lib.isLeapYear(100) == 1
    dates = (ctypes.c_int * 4)()
    lib.c_kovraDateSeq(dates, 202311, 4, 40)
    assert list(dates) == [20231130, 20231231, 20240131, 20240229]


def test_library_is_found_by_argument_environment_package_or_name(monkeypatch, tmp_path):
    monkeypatch.setenv("KOVRAP_LIBRARY", "/from/environment/lib.so")
    assert native.find_library("given.so") == "given.so"
    assert native.find_library() == "/from/environment/lib.so"
    monkeypatch.delenv("KOVRAP_LIBRARY")
    package = tmp_path / "kovrap"
    package.mkdir()
    monkeypatch.setattr(native, "__file__", str(package / "_native.py"))
    assert native.find_library() == kovrap.library_name()
    (package / "lib").mkdir()
    (package / "lib" / kovrap.library_name()).write_bytes(b"")
    assert native.find_library() == str(package / "lib" / kovrap.library_name())
    (package / kovrap.library_name()).write_bytes(b"")
    assert native.find_library() == str(package / kovrap.library_name())


def test_library_from_the_environment_loads(monkeypatch, library, data_dir):
    monkeypatch.setenv("KOVRAP_LIBRARY", library)
    kv = kovrap.Kovrap(data_dir=data_dir)
    assert kv.library == library and kv.codes("ECON")[0] == "UKGAS"


def test_version(kv):
    version = kv.version()
    assert version["interface"] == 1
    assert version["local"].startswith("tqvapi64") and version["direct"].startswith("tqvdapi64")


def test_constants_are_the_headers(tmp_path):
    # Every named constant of the header is mirrored, with the header's value.
    text = re.sub(r"/\*.*?\*/", " ", HEADER.read_text(), flags=re.S)
    defined = dict(re.findall(r"^\s*#define\s+(KOVRAP_[A-Z0-9_]+)\s+([0-9][0-9.e+]*)\s*$", text,
                              flags=re.M))
    assert defined.keys() == native.HEADER_CONSTANTS.keys()
    for name, value in native.HEADER_CONSTANTS.items():
        assert float(defined[name]) == value and type(value)(float(defined[name])) == value, name
    # The widths the package builds its text columns with are these.
    assert native.TEXT_WIDTHS == tuple(native.HEADER_CONSTANTS["KOVRAP_TEXT%d_WIDTH" % k]
                                       for k in range(1, 8))
    assert kovrap.MISSING == native.HEADER_CONSTANTS["KOVRAP_MISSING"]



@pytest.mark.parametrize("make,dtype,values", [
    (native.int_array, "intc", [7, -1, 2147483647]),
    (native.double_array, "float64", [1.5, 1e9, -0.0]),
    (native.int_array, "intc", []),
])
def test_array_pointers_read_the_array_and_hold_it(make, dtype, values):
    array = np.array(values, dtype=dtype)
    address, held = array.ctypes.data, weakref.ref(array)
    pointer = make(array)
    del array
    gc.collect()
    # The pointer is at the array's first item and keeps the array alive.
    assert held() is not None
    assert ctypes.cast(pointer, ctypes.c_void_p).value == address
    assert [pointer[k] for k in range(len(values))] == values
    del pointer
    gc.collect()
    assert held() is None


def test_text_pointers_point_at_each_text():
    block = ctypes.create_string_buffer(b"AB\0CDE\0")
    base = ctypes.addressof(block)
    pointers = native.text_array(np.array([base, base + 3], dtype=np.uintp))
    assert [pointers[0], pointers[1]] == [b"AB", b"CDE"]
