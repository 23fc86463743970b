"""talq_convert against Python's codecs: statuses, offsets and replaced
output, whole and cut at every byte, as a host converting a stream sees them.

    convert_oracle.py <libTalqOSUtils.so>
"""
import codecs
import ctypes
import random
import sys
import unittest

lib = ctypes.CDLL(sys.argv[1])
SIZE_P = ctypes.POINTER(ctypes.c_size_t)
lib.talq_convert.argtypes = [ctypes.c_int, ctypes.c_int, ctypes.c_char_p, ctypes.c_size_t,
                             ctypes.c_void_p, ctypes.c_size_t, ctypes.c_int, SIZE_P, SIZE_P]

MAC_ROMAN, LATIN1, UTF8, UTF16LE, UTF16BE = 2, 3, 5, 7, 8
CODEC = {MAC_ROMAN: "mac_roman", LATIN1: "latin-1", UTF8: "utf-8", UTF16LE: "utf-16-le",
         UTF16BE: "utf-16-be"}
REPLACE, LAST = 1, 4
OK, INVALID_DATA, HANDLE_EOF, FULL, NO_TRANSLATION = 0, 13, 38, 122, 1113


def convert(src, frm, to, flags, room=None):
    room = 4 * len(src) + 16 if room is None else room
    dst = ctypes.create_string_buffer(room + 1)
    read, written = ctypes.c_size_t(), ctypes.c_size_t()
    code = lib.talq_convert(frm, to, src, len(src), dst, room, flags, ctypes.byref(read),
                            ctypes.byref(written))
    assert dst.raw[room] == 0, "wrote past the room"
    return code, read.value, dst.raw[:written.value]


def expected_decode(src, frm):
    """(code, offset) of a strict conversion from frm, by Python's decoder."""
    try:
        src.decode(CODEC[frm])
        return OK, len(src)
    except UnicodeDecodeError as e:
        return INVALID_DATA, e.start


# Text of every length of UTF-8 sequence, with each kind of fault planted.
PIECES = ["ab", "é", "€", "中文", "😀", " ", "ÿ"]
FAULTS = [b"\x80", b"\xc0\xaf", b"\xe0\x80\x80", b"\xed\xa0\x80", b"\xf4\x90\x80\x80",
          b"\xf5", b"\xe2\x82", b"\xf0\x9f\x98", b"\xff", b"\xc3"]


def samples(seed, count):
    rng = random.Random(seed)
    for _ in range(count):
        text = "".join(rng.choice(PIECES) for _ in range(rng.randrange(1, 40))).encode()
        at = rng.randrange(len(text) + 1)
        while at < len(text) and (text[at] & 0xC0) == 0x80:
            at += 1  # plant between characters
        yield text[:at] + rng.choice(FAULTS) + text[at:]


class Oracle(unittest.TestCase):
    def test_utf8_faults_stop_where_python_does_and_replace_as_it_does(self):
        for src in samples(1, 400):
            for to in (UTF16LE, UTF16BE):
                code, read, out = convert(src, UTF8, to, LAST)
                want, offset = expected_decode(src, UTF8)
                self.assertEqual((code, read), (want, offset), src)
                self.assertEqual(out, src[:offset].decode().encode(CODEC[to]))
                code, read, out = convert(src, UTF8, to, LAST | REPLACE)
                self.assertEqual((code, read), (OK, len(src)))
                self.assertEqual(out.decode(CODEC[to]), src.decode("utf-8", "replace"), src)

    def test_utf16_lone_surrogates_and_odd_ends(self):
        rng = random.Random(2)
        for _ in range(300):
            units = [rng.choice([0x61, 0xE9, 0x4E2D, 0xD83D, 0xDE00, 0xDBFF, 0xDC00, 0xFFFD])
                     for _ in range(rng.randrange(1, 20))]
            for frm, order in ((UTF16LE, "<"), (UTF16BE, ">")):
                src = b"".join(u.to_bytes(2, "little" if order == "<" else "big") for u in units)
                src += b"\x00" * rng.randrange(2)  # sometimes half a unit at the end
                code, read, _ = convert(src, frm, UTF8, LAST)
                self.assertEqual((code, read), expected_decode(src, frm), src)
                _, _, out = convert(src, frm, UTF8, LAST | REPLACE)
                self.assertEqual(out.decode(), src.decode(CODEC[frm], "replace"), src)

    def test_single_byte_targets_lack_what_python_lacks(self):
        for to in (LATIN1, MAC_ROMAN):
            for cp in list(range(0x80, 0x2200)) + [0x20AC, 0xF8FF, 0x1F600]:
                src = ("a" + chr(cp)).encode()
                code, read, out = convert(src, UTF8, to, LAST)
                try:
                    want = src.decode().encode(CODEC[to])
                    self.assertEqual((code, out), (OK, want), hex(cp))
                except UnicodeEncodeError:
                    self.assertEqual((code, read, out), (NO_TRANSLATION, 1, b"a"), hex(cp))
            for byte in range(256):  # and back: every byte of the table
                code, _, out = convert(bytes([byte]), to, UTF8, LAST)
                self.assertEqual((code, out.decode()), (OK, bytes([byte]).decode(CODEC[to])))

    def test_cut_at_every_byte_carries_at_most_what_python_buffers(self):
        for src in list(samples(3, 60)) + ["a€😀中".encode()]:
            whole = convert(src, UTF8, UTF16LE, LAST | REPLACE)[2]
            for cut in range(len(src) + 1):
                decoder = codecs.getincrementaldecoder("utf-8")("replace")
                decoder.decode(src[:cut], False)
                buffered = len(decoder.getstate()[0])
                code, read, first = convert(src[:cut], UTF8, UTF16LE, REPLACE)
                # Python also holds back a start it could already refuse (ED A0).
                self.assertLessEqual(cut - read, buffered, (src, cut))
                self.assertEqual(code, HANDLE_EOF if read < cut else OK, (src, cut))
                code, _, rest = convert(src[read:], UTF8, UTF16LE, LAST | REPLACE)
                self.assertEqual((code, first + rest), (OK, whole), (src, cut))

    def test_a_full_destination_resumes_to_the_same_text(self):
        src = "".join(PIECES * 30).encode()
        for room in (4, 5, 12, 64):
            out, at = b"", 0
            while True:
                code, read, piece = convert(src[at:], UTF8, UTF16BE, LAST, room)
                out, at = out + piece, at + read
                if code != FULL:
                    break
                self.assertTrue(read or piece, room)
            self.assertEqual((code, out), (OK, src.decode().encode("utf-16-be")), room)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
