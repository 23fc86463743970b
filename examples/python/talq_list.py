"""Lists a directory through the C interface with ctypes: talq_list.py /C:/docs"""
import ctypes, ctypes.util, os, sys

talq = ctypes.CDLL(sys.argv[2] if len(sys.argv) > 2 else ctypes.util.find_library("TalqOSUtils"))

class Entry(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char * 256), ("attributes", ctypes.c_uint32),
                ("size", ctypes.c_int64), ("last_write", ctypes.c_uint64),
                ("reserved", ctypes.c_uint64 * 8)]

# Names that are not UTF-8 travel as U+DC80..U+DCFF, as Python's surrogateescape
# carries them: "surrogatepass" spells them as the library does.
root = (sys.argv[1] if len(sys.argv) > 1 else ".").encode("utf-8", "surrogatepass")
search, entry = ctypes.c_void_p(), Entry()
code = talq.talq_search_open(root, None, None, ctypes.byref(search))
while code == 0 and (code := talq.talq_search_next(search, ctypes.byref(entry))) == 0:
    name = os.fsencode(entry.name.decode("utf-8", "surrogatepass"))  # the bytes on disk
    sys.stdout.buffer.write(b"%12d  %s%s\n" % (entry.size, name,
                                               b"/" if entry.attributes & 0x10 else b""))
talq.talq_search_close(search)
if code != 18:  # TALQ_ERROR_NO_MORE_FILES
    words = ctypes.create_string_buffer(128)
    talq.talq_error_text(code, words, len(words), None)
    sys.exit("talq_list: " + words.value.decode())
