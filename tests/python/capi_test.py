"""The C interface through the standard library's ctypes, as a Python host
uses it; Python's own file functions serve as the oracle.

    capi_test.py <libTalqOSUtils.so> <report.lnk> <scratch dir>
"""
import ctypes
import os
import shutil
import sys
import unittest

LIB_PATH, LNK_PATH, SCRATCH = sys.argv[1:4]
lib = ctypes.CDLL(LIB_PATH)

CHECK_FN = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p)


class Entry(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char * 256), ("attributes", ctypes.c_uint32),
                ("size", ctypes.c_int64), ("last_write", ctypes.c_uint64),
                ("reserved", ctypes.c_uint64 * 8)]


FILTER_FN = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.POINTER(Entry), ctypes.c_void_p)
SIZE_P = ctypes.POINTER(ctypes.c_size_t)
lib.talq_version.restype = ctypes.c_char_p
lib.talq_stream_open.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.c_int,
                                 ctypes.POINTER(ctypes.c_void_p)]
lib.talq_stream_read.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_uint32,
                                 ctypes.POINTER(ctypes.c_uint32)]
lib.talq_stream_set_check.argtypes = [ctypes.c_void_p, CHECK_FN, ctypes.c_void_p]
lib.talq_stream_percent.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int)]
lib.talq_stream_close.argtypes = [ctypes.c_void_p]
lib.talq_search_open.argtypes = [ctypes.c_char_p, FILTER_FN, ctypes.c_void_p,
                                 ctypes.POINTER(ctypes.c_void_p)]
lib.talq_search_next.argtypes = [ctypes.c_void_p, ctypes.POINTER(Entry)]
lib.talq_search_close.argtypes = [ctypes.c_void_p]
lib.talq_error_text.argtypes = [ctypes.c_int, ctypes.c_char_p, ctypes.c_size_t, SIZE_P]
TEXT_ARGS = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_size_t, SIZE_P]
for name in ("talq_path_to_nt", "talq_resolve_shortcut", "talq_utf8_to_name_bytes"):
    getattr(lib, name).argtypes = TEXT_ARGS


def text(fn, *args):
    """A string result: the size query, then a buffer of exactly that size."""
    needed = ctypes.c_size_t()
    code = fn(*args, None, 0, ctypes.byref(needed))
    if code != 0:
        raise OSError(code, "talq call failed")
    buf = ctypes.create_string_buffer(needed.value)
    assert fn(*args, buf, needed.value, None) == 0
    assert len(buf.value) + 1 == needed.value
    return buf.value


class CInterface(unittest.TestCase):
    def setUp(self):
        shutil.rmtree(SCRATCH, ignore_errors=True)
        os.makedirs(SCRATCH)

    def test_path_conversion(self):
        self.assertEqual(text(lib.talq_path_to_nt, b"/C:/Windows/a\\/b"), b"C:\\Windows\\a/b")
        buf = ctypes.create_string_buffer(b"\x7f" * 8)
        self.assertEqual(lib.talq_path_to_nt(b"/C:/Windows", buf, 5, None), 122)
        self.assertEqual(buf.raw[:6], b"C:\\W\x00\x7f")

    def test_stream_read_with_progress(self):
        data = bytes(range(256)) * 12000  # about 3 MB
        path = os.path.join(SCRATCH, "data.bin")
        with open(path, "wb") as f:
            f.write(data)
        stream = ctypes.c_void_p()
        self.assertEqual(lib.talq_stream_open(path.encode(), 0, 0, ctypes.byref(stream)), 0)
        seen = []

        @CHECK_FN
        def progress(user):
            percent = ctypes.c_int()
            lib.talq_stream_percent(user, ctypes.byref(percent))
            seen.append(percent.value)
            return 0

        self.assertEqual(lib.talq_stream_set_check(stream, progress, stream), 0)
        chunks, got = [], ctypes.c_uint32()
        buf = ctypes.create_string_buffer(500000)
        while True:
            self.assertEqual(lib.talq_stream_read(stream, buf, len(buf), ctypes.byref(got)), 0)
            if got.value == 0:
                break
            chunks.append(buf.raw[:got.value])
        self.assertEqual(lib.talq_stream_close(stream), 0)
        self.assertEqual(lib.talq_stream_close(stream), 6)
        self.assertEqual(b"".join(chunks), data)
        # A progress report after each megabyte or so, the position growing.
        self.assertGreaterEqual(len(seen), 2)
        self.assertEqual(seen, sorted(set(seen)))
        self.assertTrue(0 < seen[0] and seen[-1] <= 100, seen)

    def test_directory_listing(self):
        for name, size in ((b"a.txt", 3), (b"caf\xe9", 7)):
            with open(os.path.join(SCRATCH.encode(), name), "wb") as f:
                f.write(b"x" * size)
        os.mkdir(os.path.join(SCRATCH, "sub"))
        search = ctypes.c_void_p()
        self.assertEqual(lib.talq_search_open(SCRATCH.encode(), FILTER_FN(), None,
                                              ctypes.byref(search)), 0)
        listed, entry = {}, Entry()
        while True:
            code = lib.talq_search_next(search, ctypes.byref(entry))
            if code != 0:
                self.assertEqual(code, 18)
                break
            listed[text(lib.talq_utf8_to_name_bytes, entry.name)] = (
                entry.attributes, entry.size, entry.last_write)
        self.assertEqual(lib.talq_search_close(search), 0)
        expected = set(os.listdir(SCRATCH.encode())) | {b".", b".."}
        self.assertEqual(set(listed), expected)
        for name in os.listdir(SCRATCH.encode()):
            st = os.stat(os.path.join(SCRATCH.encode(), name))
            attributes, size, ticks = listed[name]
            self.assertEqual(attributes, 0x10 if os.path.isdir(os.path.join(SCRATCH.encode(), name)) else 0)
            if not attributes:
                self.assertEqual(size, st.st_size)
            self.assertEqual(ticks, st.st_mtime_ns // 100 + 116444736000000000)

    def test_shortcut(self):
        self.assertEqual(text(lib.talq_resolve_shortcut, os.path.abspath(LNK_PATH).encode()),
                         b"/C:/Users/ana/Documents/report.txt")

    def test_error_texts(self):
        stream = ctypes.c_void_p()
        code = lib.talq_stream_open(os.path.join(SCRATCH, "none").encode(), 0, 0,
                                    ctypes.byref(stream))
        self.assertEqual(code, 2)
        self.assertIsNone(stream.value)
        self.assertEqual(text(lib.talq_error_text, code), b"file not found")
        self.assertEqual(text(lib.talq_error_text, 5), b"access denied")
        self.assertEqual(text(lib.talq_error_text, 4242), b"error 4242")
        self.assertRegex(lib.talq_version().decode(), r"^\d+\.\d+\.\d+$")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=1)
