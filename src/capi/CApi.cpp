// The C interface (talq.h): flat functions over the C++ interface. Each entry
// point catches everything and answers with a Win32 code; handles are ids in
// a registry, never reused, so a stale or doubled close finds nothing.
#include "TalqOSUtils/talq.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/FileSystem.h"
#include "TalqOSUtils/FindFile.h"
#include "TalqOSUtils/Paths.h"
#include "TalqOSUtils/Streams.h"
#include "TalqOSUtils/UnicodeString.h"
#include "TalqOSUtils/Version.h"
#include "Vandrel/Vandrel.h"
#include "common/SharedRecord.h"
#include "errors/Exceptions.h"
#include "fs/OsPath.h"
#include "streams/FileState.h"

using namespace TalqOSUtils;

// The entry's layout is part of the interface: a host's copy of the header
// (or a ctypes mirror) must keep fitting what the library writes.
static_assert(sizeof(talq_entry) == 344 && offsetof(talq_entry, reserved) == 280,
              "talq_entry's layout changed");

// talq.h's codes are copies of ErrorCodes.def lines, those written
// TALQ_C_ERROR: each must still be its line's code.
#define TALQ_ERROR(name, code, symbol, text)
#define TALQ_C_ERROR(name, code, symbol, text)                                                     \
  static_assert(                                                                                   \
      static_cast<std::uint32_t>(TALQ_##symbol) == static_cast<std::uint32_t>(errors::Code::name), \
      "talq.h's TALQ_" #symbol " is not its ErrorCodes.def line's code");
#include "errors/ErrorCodes.def"
#undef TALQ_C_ERROR
#undef TALQ_ERROR
static_assert(TALQ_OK == static_cast<int>(errors::Code::Success), "TALQ_OK is not ERROR_SUCCESS");

struct talq_stream {};
struct talq_search {};

namespace {

// ---------------------------------------------------------------------------
// Exceptions to codes

// The library's exceptions answer with their Exceptions.def line's code, any
// other ChException with ERROR_GEN_FAILURE.
int CodeOf(const ChException& e) {
  for (const errors::ExceptionRow& row : errors::kExceptions) {
    if (std::strcmp(row.message, e.what()) == 0) return static_cast<int>(row.code);
  }
  return TALQ_ERROR_GEN_FAILURE;
}

// Runs body (returning a code) with every exception turned into its code.
template <typename Body>
int Guard(Body body) noexcept {
  try {
    return body();
  } catch (const ChException& e) {
    return CodeOf(e);
  } catch (const std::bad_alloc&) {
    return TALQ_ERROR_NOT_ENOUGH_MEMORY;
  } catch (const std::length_error&) {
    return TALQ_ERROR_NOT_ENOUGH_MEMORY;
  } catch (...) {
    return TALQ_ERROR_GEN_FAILURE;
  }
}

// ---------------------------------------------------------------------------
// Caller buffers

// Copies count units of src into buf under the buffer contract.
template <typename Out, typename In>
int Put(const In* src, std::size_t count, Out* buf, std::size_t capacity, std::size_t* needed) {
  if (needed != nullptr) *needed = count + 1;
  if (buf == nullptr) return TALQ_OK;
  if (capacity == 0) return TALQ_ERROR_INSUFFICIENT_BUFFER;
  const std::size_t n = count < capacity ? count : capacity - 1;
  for (std::size_t i = 0; i < n; ++i) buf[i] = static_cast<Out>(src[i]);
  buf[n] = 0;
  return n == count ? TALQ_OK : TALQ_ERROR_INSUFFICIENT_BUFFER;
}

template <typename Out, typename Text>
int Put(const Text& text, Out* buf, std::size_t capacity, std::size_t* needed) {
  return Put(text.data(), text.size(), buf, capacity, needed);
}

// Guard for a function with a string result: any failure but a short
// buffer leaves "" in buf and 0 in *needed.
template <typename Out, typename Body>
int GuardText(Out* buf, std::size_t capacity, std::size_t* needed, Body body) noexcept {
  const int code = Guard(body);
  if (code != TALQ_OK && code != TALQ_ERROR_INSUFFICIENT_BUFFER) {
    if (needed != nullptr) *needed = 0;
    if (buf != nullptr && capacity > 0) buf[0] = 0;
  }
  return code;
}

std::size_t UnitLength(const talq_unit* text) {
  std::size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

UniString ToUni(const talq_unit* text) {
  const std::size_t n = UnitLength(text);
  UniString out(n, UniChar(0));
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<UniChar>(text[i]);
  return out;
}

// A buffer conversion of Paths.h, run into scratch space large enough for
// any result (none is more than twice its source and two bytes); false twice
// means the path has no form in the other notation.
using PathFn = bool (*)(const char*, char*, int);
int ConvertPath(PathFn fn, const char* path, char* buf, std::size_t capacity, std::size_t* needed) {
  return GuardText(buf, capacity, needed, [&] {
    if (path == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    const std::size_t n = std::strlen(path);
    if (n > INT_MAX / 4 - 64) return TALQ_ERROR_FILENAME_EXCED_RANGE;
    for (std::size_t size : {2 * n + 16, 4 * n + 64}) {
      std::string scratch(size, '\0');
      if (fn(path, &scratch[0], static_cast<int>(size))) {
        return Put(scratch.c_str(), std::strlen(scratch.c_str()), buf, capacity, needed);
      }
    }
    return TALQ_ERROR_INVALID_NAME;
  });
}

// ---------------------------------------------------------------------------
// Handles

enum class Kind { kStream, kSearch };

// What a handle names. An entry point leases it for the length of the call,
// so that a callback closing the handle (a check function, a filter) only
// marks it; it is closed and freed when the last call using it returns.
struct Object {
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object() = default;
  /// Lets go of what the handle holds: 0, or the failure of that.
  virtual int Close() = 0;

  int busy = 0;         // entry points running on it
  bool closed = false;  // its handle was closed while busy
};

// The streams with their shared file record in reach, for a close that can
// report the OS's failure.
struct InputStream : ChInputStream {
  int Close() {
    shared::Release(mFile);
    return TALQ_OK;
  }
};
struct OutputStream : ChOutputStream {
  int Close() { return streams::ReleaseReporting(mFile); }
};

struct Stream : Object {
  bool writing = false;
  InputStream in;
  OutputStream out;
  talq_check_fn check = nullptr;
  void* user = nullptr;
  ChIOStream& io() { return writing ? static_cast<ChIOStream&>(out) : in; }
  int Close() override { return writing ? out.Close() : in.Close(); }
};

// The check function the C++ stream calls: the host's, and a stop for the
// transfer that ran it when it closed its own stream.
int RunHostCheck(void* data) {
  auto* s = static_cast<Stream*>(data);
  const int answer = s->check(s->user);
  return answer == 0 && s->closed ? TALQ_ERROR_INVALID_HANDLE : answer;
}

struct Search : Object {
  ChFindFile find;
  talq_filter_fn filter = nullptr;
  void* user = nullptr;
  bool started = false;
  int finished = 0;  // once non-zero: the code every later next gives
  int Close() override {
    find.EndSearch();
    return TALQ_OK;
  }
};

struct Slot {
  Kind kind;
  Object* object;
};

struct Registry {
  std::mutex lock;
  std::unordered_map<std::uintptr_t, Slot> slots;
  std::uintptr_t last = 0;
};

Registry& Handles() {
  static Registry* registry = new Registry;  // outlives every static destructor
  return *registry;
}

std::uintptr_t Add(Kind kind, Object* object) {
  Registry& r = Handles();
  std::lock_guard<std::mutex> hold(r.lock);
  const std::uintptr_t id = ++r.last;
  r.slots.emplace(id, Slot{kind, object});
  return id;
}

// Closes and frees object: 0, or the close's failure.
int Dispose(Object* object) {
  const std::unique_ptr<Object> owned(object);
  return object->Close();
}

// Ends the handle: the object is closed now, or, while calls run on it, by
// the last of them.
int CloseHandle(Kind kind, const void* handle) {
  Object* object = nullptr;
  {
    Registry& r = Handles();
    std::lock_guard<std::mutex> hold(r.lock);
    auto it = r.slots.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == r.slots.end() || it->second.kind != kind) return TALQ_ERROR_INVALID_HANDLE;
    object = it->second.object;
    r.slots.erase(it);
    if (object->busy > 0) {
      object->closed = true;
      return TALQ_OK;
    }
  }
  return Dispose(object);
}

// The object of a handle of kind K for one entry point (null for a bad
// handle). Done(code) ends the lease and gives the call's answer: code, or
// the failure of a close that a callback asked for and that fell to it.
template <typename T, Kind K>
class Lease {
 public:
  explicit Lease(const void* handle) {
    Registry& r = Handles();
    std::lock_guard<std::mutex> hold(r.lock);
    auto it = r.slots.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it != r.slots.end() && it->second.kind == K) {
      mObject = static_cast<T*>(it->second.object);
      ++mObject->busy;
    }
  }
  Lease(const Lease&) = delete;
  Lease& operator=(const Lease&) = delete;
  ~Lease() { Done(TALQ_OK); }

  explicit operator bool() const { return mObject != nullptr; }
  T* operator->() const { return mObject; }
  T* get() const { return mObject; }
  /// True when a callback closed the handle during this call.
  bool closed() const { return mObject->closed; }

  int Done(int code) {
    T* const object = mObject;
    mObject = nullptr;
    if (object == nullptr) return code;
    {
      std::lock_guard<std::mutex> hold(Handles().lock);
      if (--object->busy > 0 || !object->closed) return code;
    }
    const int closing = Dispose(object);
    return closing != TALQ_OK ? closing : code;
  }

 private:
  T* mObject = nullptr;
};

using StreamLease = Lease<Stream, Kind::kStream>;
using SearchLease = Lease<Search, Kind::kSearch>;

}  // namespace

extern "C" {

// ---------------------------------------------------------------------------
// Version and error texts

const char* talq_version(void) { return LibraryVersion(); }

int talq_error_text(int code, char* buf, size_t capacity, size_t* needed) {
  return GuardText(buf, capacity, needed, [&] {
    return Put(OSErrorText(static_cast<std::uint32_t>(code)), buf, capacity, needed);
  });
}

// ---------------------------------------------------------------------------
// Paths

int talq_path_to_nt(const char* path, char* buf, size_t capacity, size_t* needed) {
  return ConvertPath(&OSPathGenericToNT, path, buf, capacity, needed);
}
int talq_path_from_nt(const char* path, char* buf, size_t capacity, size_t* needed) {
  return ConvertPath(&OSPathNTToGeneric, path, buf, capacity, needed);
}
int talq_path_to_hfs(const char* path, char* buf, size_t capacity, size_t* needed) {
  return ConvertPath(&OSPathGenericToMacHFS, path, buf, capacity, needed);
}
int talq_path_from_hfs(const char* path, char* buf, size_t capacity, size_t* needed) {
  return ConvertPath(&OSPathMacHFSToGeneric, path, buf, capacity, needed);
}
int talq_path_to_unix(const char* path, char* buf, size_t capacity, size_t* needed) {
  return ConvertPath(&OSPathGenericToUnix, path, buf, capacity, needed);
}
int talq_path_from_unix(const char* path, char* buf, size_t capacity, size_t* needed) {
  return ConvertPath(&OSPathUnixToGeneric, path, buf, capacity, needed);
}

int talq_path_absolute(const char* path, const char* base, char* buf, size_t capacity,
                       size_t* needed) {
  return GuardText(buf, capacity, needed, [&] {
    if (path == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    return Put(OSMakePathAbsolute(path, base == nullptr ? "" : base), buf, capacity, needed);
  });
}

int talq_path_basename(const char* path, char* buf, size_t capacity, size_t* needed) {
  return GuardText(buf, capacity, needed, [&] {
    if (path == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    return Put(OSBasename(std::string(path)), buf, capacity, needed);
  });
}

int talq_path_dirname(const char* path, char* buf, size_t capacity, size_t* needed) {
  return GuardText(buf, capacity, needed, [&] {
    if (path == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    return Put(OSDirname(std::string(path)), buf, capacity, needed);
  });
}

int talq_path_join(const char* path, const char* name, char* buf, size_t capacity, size_t* needed) {
  return GuardText(buf, capacity, needed, [&] {
    if (path == nullptr || name == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    return Put(OSAddNameToPath(std::string(path), std::string(name)), buf, capacity, needed);
  });
}

int talq_name_bytes_to_utf8(const char* bytes, char* buf, size_t capacity, size_t* needed) {
  return GuardText(buf, capacity, needed, [&] {
    if (bytes == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    return Put(OSNameBytesToUTF8(bytes), buf, capacity, needed);
  });
}

int talq_utf8_to_name_bytes(const char* utf8, char* buf, size_t capacity, size_t* needed) {
  return GuardText(buf, capacity, needed, [&] {
    if (utf8 == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    const std::string bytes = OSUTF8ToNameBytes(utf8);
    if (bytes.empty() && *utf8 != '\0') return TALQ_ERROR_INVALID_NAME;
    return Put(bytes, buf, capacity, needed);
  });
}

// ---------------------------------------------------------------------------
// File queries and changes

int talq_path_kind(const char* path, int* kind) {
  return Guard([&] {
    if (path == nullptr || kind == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    bool directory = false;
    *kind = !OSFileExists(path, &directory) ? TALQ_KIND_NONE
            : directory                     ? TALQ_KIND_DIRECTORY
                                            : TALQ_KIND_FILE;
    return TALQ_OK;
  });
}

int talq_delete_file(const char* path) {
  return Guard([&] {
    const int code = static_cast<int>(fs::DeleteFile(path));
    // Windows refuses a directory with access denied; POSIX says otherwise.
    if (code != TALQ_OK && OSDirectoryExists(path)) return TALQ_ERROR_ACCESS_DENIED;
    return code;
  });
}

int talq_make_directory(const char* path) {
  return Guard([&] { return static_cast<int>(fs::MakeDirectory(path)); });
}

// ---------------------------------------------------------------------------
// Directories, resources, shortcuts

int talq_application_directory(char* buf, size_t capacity, size_t* needed) {
  return GuardText(buf, capacity, needed, [&] {
    const std::string dir = OSApplicationDirectory();
    return dir.empty() ? TALQ_ERROR_PATH_NOT_FOUND : Put(dir, buf, capacity, needed);
  });
}

int talq_shared_resources_directory(char* buf, size_t capacity, size_t* needed) {
  return GuardText(buf, capacity, needed,
                   [&] { return Put(OSSharedResourcesDirectory(), buf, capacity, needed); });
}

int talq_set_shared_resources_directory(const char* dir) {
  return Guard([&] {
    if (dir == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    OSSetSharedResourceDirectory(dir);
    return TALQ_OK;
  });
}

int talq_find_resource(const char* name, char* buf, size_t capacity, size_t* needed) {
  return GuardText(buf, capacity, needed, [&] {
    if (name == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    const std::string path = OSFindResourcePath(name);
    if (path.empty()) return TALQ_ERROR_FILE_NOT_FOUND;
    return Put(path, buf, capacity, needed);
  });
}

int talq_resolve_shortcut(const char* path, char* buf, size_t capacity, size_t* needed) {
  return GuardText(buf, capacity, needed, [&] {
    if (path == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    return Put(ResolveAliasOrLink(path), buf, capacity, needed);
  });
}

// ---------------------------------------------------------------------------
// Streams

int talq_stream_open(const char* path, int mode, int fork, talq_stream** stream) {
  if (stream != nullptr) *stream = nullptr;
  return Guard([&] {
    if (path == nullptr || stream == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    if (mode != TALQ_STREAM_READ && mode != TALQ_STREAM_WRITE) return TALQ_ERROR_INVALID_PARAMETER;
    std::unique_ptr<Stream> s(new Stream);
    s->writing = mode == TALQ_STREAM_WRITE;
    ChIOStream& io = s->io();
    io.setcheckfn(nullptr, nullptr);
    io.openFork(path, fork != 0);
    if (!io.isopen()) return io.error() != 0 ? io.error() : TALQ_ERROR_GEN_FAILURE;
    *stream = reinterpret_cast<talq_stream*>(Add(Kind::kStream, s.get()));
    s.release();
    return TALQ_OK;
  });
}

int talq_stream_read(talq_stream* stream, void* buf, uint32_t size, uint32_t* got) {
  if (got != nullptr) *got = 0;
  return Guard([&] {
    StreamLease s(stream);
    if (!s) return TALQ_ERROR_INVALID_HANDLE;
    if (got == nullptr || (buf == nullptr && size != 0) || s->writing) {
      return TALQ_ERROR_INVALID_PARAMETER;
    }
    *got = s->in.read(buf, size);
    return s.Done(s->in.error());
  });
}

int talq_stream_write(talq_stream* stream, const void* buf, uint32_t size) {
  return Guard([&] {
    StreamLease s(stream);
    if (!s) return TALQ_ERROR_INVALID_HANDLE;
    if ((buf == nullptr && size != 0) || !s->writing) return TALQ_ERROR_INVALID_PARAMETER;
    s->out.write(buf, size);
    return s.Done(s->out.error());
  });
}

int talq_stream_seek(talq_stream* stream, int64_t pos) {
  return Guard([&] {
    StreamLease s(stream);
    if (!s) return TALQ_ERROR_INVALID_HANDLE;
    s->io().seek(pos);
    return s->io().error();
  });
}

int talq_stream_position(talq_stream* stream, int64_t* pos) {
  return Guard([&] {
    StreamLease s(stream);
    if (!s) return TALQ_ERROR_INVALID_HANDLE;
    if (pos == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    *pos = s->io().getpos();
    return s->io().error();
  });
}

int talq_stream_size(talq_stream* stream, int64_t* size) {
  return Guard([&] {
    StreamLease s(stream);
    if (!s) return TALQ_ERROR_INVALID_HANDLE;
    if (size == nullptr || s->writing) return TALQ_ERROR_INVALID_PARAMETER;
    *size = s->in.size();
    return TALQ_OK;
  });
}

int talq_stream_percent(talq_stream* stream, int* percent) {
  return Guard([&] {
    StreamLease s(stream);
    if (!s) return TALQ_ERROR_INVALID_HANDLE;
    if (percent == nullptr || s->writing) return TALQ_ERROR_INVALID_PARAMETER;
    *percent = s->in.percent();
    return s->in.error();
  });
}

int talq_stream_error(talq_stream* stream) {
  return Guard([&] {
    StreamLease s(stream);
    return !s ? TALQ_ERROR_INVALID_HANDLE : s->io().error();
  });
}

int talq_stream_set_check(talq_stream* stream, talq_check_fn fn, void* user) {
  return Guard([&] {
    StreamLease s(stream);
    if (!s) return TALQ_ERROR_INVALID_HANDLE;
    s->check = fn;
    s->user = user;
    s->io().setcheckfn(fn != nullptr ? &RunHostCheck : nullptr, s.get());
    return TALQ_OK;
  });
}

int talq_stream_close(talq_stream* stream) {
  return Guard([&] { return CloseHandle(Kind::kStream, stream); });
}

// ---------------------------------------------------------------------------
// Copying a file

int talq_copy_file(const char* source, const char* target, int fork, talq_copy_fn check,
                   void* user) {
  return Guard([&] {
    if (source == nullptr || target == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    return static_cast<int>(OSCopyFile(source, target, fork != 0, check, user));
  });
}

// ---------------------------------------------------------------------------
// Directory search

int talq_search_open(const char* root, talq_filter_fn filter, void* user, talq_search** search) {
  if (search != nullptr) *search = nullptr;
  return Guard([&] {
    if (root == nullptr || search == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    if (!fs::IsPathText(root, std::strlen(root))) return TALQ_ERROR_INVALID_NAME;
    std::unique_ptr<Search> s(new Search);
    s->find.Init(root);
    s->filter = filter;
    s->user = user;
    *search = reinterpret_cast<talq_search*>(Add(Kind::kSearch, s.get()));
    s.release();
    return TALQ_OK;
  });
}

int talq_search_next(talq_search* search, talq_entry* entry) {
  return Guard([&] {
    SearchLease s(search);
    if (!s) return TALQ_ERROR_INVALID_HANDLE;
    if (entry == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    while (s->finished == 0) {
      const ChFindFileIterator it = s->started ? s->find.FindNext() : s->find.FindFirst();
      s->started = true;
      if (!it.IsValid()) {
        const int reason = static_cast<int>(s->find.LastError());
        s->finished = reason != 0 ? reason : TALQ_ERROR_NO_MORE_FILES;
        break;
      }
      talq_entry e{};
      it.BaseName(e.name);
      e.attributes = it.IsDirectory() ? TALQ_ATTRIBUTE_DIRECTORY : 0u;
      if (it.IsReparsePoint()) e.attributes |= TALQ_ATTRIBUTE_REPARSE_POINT;
      e.size = it.Size();
      e.last_write = it.TimeStamp();
      const bool keep = s->filter == nullptr || s->filter(&e, s->user) != 0;
      // A filter that closed its own search ends this call too.
      if (s.closed()) return s.Done(TALQ_ERROR_INVALID_HANDLE);
      if (keep) {
        *entry = e;
        return TALQ_OK;
      }
    }
    return s->finished;
  });
}

int talq_search_error(talq_search* search) {
  return Guard([&] {
    SearchLease s(search);
    return !s ? TALQ_ERROR_INVALID_HANDLE : static_cast<int>(s->find.LastError());
  });
}

int talq_search_close(talq_search* search) {
  return Guard([&] { return CloseHandle(Kind::kSearch, search); });
}

// ---------------------------------------------------------------------------
// Text

int talq_utf8_to_utf16(const char* utf8, talq_unit* buf, size_t capacity, size_t* needed) {
  return GuardText(buf, capacity, needed, [&] {
    if (utf8 == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    UniString out;
    UnicodeString().UTF8ToUCS2(utf8, out);
    return Put(out, buf, capacity, needed);
  });
}

int talq_utf16_to_utf8(const talq_unit* text, char* buf, size_t capacity, size_t* needed) {
  return GuardText(buf, capacity, needed, [&] {
    if (text == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    std::string out;
    UnicodeString().UCS2ToUTF8(ToUni(text), out);
    return Put(out, buf, capacity, needed);
  });
}

int talq_encoding_to_utf8(int encoding, const char* text, char* buf, size_t capacity,
                          size_t* needed) {
  return GuardText(buf, capacity, needed, [&] {
    if (text == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    return Put(UnicodeString::MapEncodingToUTF8(static_cast<Encoding>(encoding), text), buf,
               capacity, needed);
  });
}

int talq_utf8_to_encoding(int encoding, const char* utf8, char* buf, size_t capacity,
                          size_t* needed) {
  return GuardText(buf, capacity, needed, [&] {
    if (utf8 == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    const std::string text =
        UnicodeString::MapUTF8ToEncoding(static_cast<Encoding>(encoding), utf8);
    // Mac OS Roman's "" for a character it lacks is a failure, not a text.
    if (text.empty() && *utf8 != '\0' && encoding == TALQ_ENCODING_MAC_ROMAN) {
      return TALQ_ERROR_NO_UNICODE_TRANSLATION;
    }
    return Put(text, buf, capacity, needed);
  });
}

int talq_convert(int from, int to, const void* src, size_t src_size, void* dst, size_t dst_size,
                 int flags, size_t* read, size_t* written) {
  if (read != nullptr) *read = 0;
  if (written != nullptr) *written = 0;
  return Guard([&] {
    using E = Vandrel::TextEncoding;
    const auto encodingOf = [](int code, E& out) {
      static const E kByCode[] = {E::kPlatform, E::kPlatform, E::kMacRoman, E::kLatin1, E::kUrl,
                                  E::kUtf8,     E::kPlatform, E::kUtf16LE,  E::kUtf16BE};
      if (code < 0 || code >= static_cast<int>(sizeof kByCode / sizeof kByCode[0])) {
        return TALQ_ERROR_INVALID_PARAMETER;
      }
      out = kByCode[code];
      return code == TALQ_ENCODING_UNSUPPORTED ? TALQ_ERROR_NOT_SUPPORTED : TALQ_OK;
    };
    E fromEncoding = E::kUtf8;
    E toEncoding = E::kUtf8;
    const int fromCode = encodingOf(from, fromEncoding);
    if (fromCode != TALQ_OK) return fromCode;
    const int toCode = encodingOf(to, toEncoding);
    if (toCode != TALQ_OK) return toCode;
    if ((flags & ~(TALQ_CONVERT_REPLACE | TALQ_CONVERT_SKIP | TALQ_CONVERT_LAST)) != 0 ||
        (flags & TALQ_CONVERT_REPLACE && flags & TALQ_CONVERT_SKIP) ||
        (src == nullptr && src_size != 0) || (dst == nullptr && dst_size != 0)) {
      return TALQ_ERROR_INVALID_PARAMETER;
    }
    const Vandrel::Policy policy = (flags & TALQ_CONVERT_REPLACE) != 0 ? Vandrel::Policy::kReplace
                                   : (flags & TALQ_CONVERT_SKIP) != 0  ? Vandrel::Policy::kSkip
                                                                       : Vandrel::Policy::kStop;
    const Vandrel::ConvertResult r =
        Vandrel::Convert(fromEncoding, toEncoding, src, src_size, dst, dst_size, policy,
                         (flags & TALQ_CONVERT_LAST) != 0);
    if (read != nullptr) *read = r.read;
    if (written != nullptr) *written = r.written;
    switch (r.status) {
      case Vandrel::Status::kDone:
        return TALQ_OK;
      case Vandrel::Status::kTargetFull:
        return TALQ_ERROR_INSUFFICIENT_BUFFER;
      case Vandrel::Status::kIllFormed:
        return TALQ_ERROR_INVALID_DATA;
      case Vandrel::Status::kUnrepresentable:
        return TALQ_ERROR_NO_UNICODE_TRANSLATION;
      case Vandrel::Status::kIncomplete:
        return TALQ_ERROR_HANDLE_EOF;
      case Vandrel::Status::kUnsupported:
        break;
    }
    return TALQ_ERROR_NOT_SUPPORTED;
  });
}

int talq_utf8_has_bom(const char* text, int* has) {
  return Guard([&] {
    if (text == nullptr || has == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    *has = UnicodeString::HasBOM(std::string(text)) ? 1 : 0;
    return TALQ_OK;
  });
}

int talq_utf16_has_bom(const talq_unit* text, int* has) {
  return Guard([&] {
    if (text == nullptr || has == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    *has = UnicodeString::HasBOM(ToUni(text)) ? 1 : 0;
    return TALQ_OK;
  });
}

int talq_utf8_strip_bom(const char* text, char* buf, size_t capacity, size_t* needed) {
  return GuardText(buf, capacity, needed, [&] {
    if (text == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    return Put(UnicodeString::ProcessBOM(std::string(text)), buf, capacity, needed);
  });
}

int talq_utf16_strip_bom(const talq_unit* text, talq_unit* buf, size_t capacity, size_t* needed) {
  return GuardText(buf, capacity, needed, [&] {
    if (text == nullptr) return TALQ_ERROR_INVALID_PARAMETER;
    return Put(UnicodeString::ProcessBOM(ToUni(text)), buf, capacity, needed);
  });
}

}  // extern "C"
