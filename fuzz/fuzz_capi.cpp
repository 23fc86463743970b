// libFuzzer target for the C interface (talq.h) on untrusted input: paths,
// text and shortcut files.
//
// Input: one byte choosing a capacity (modulo 64) and an encoding (its high
// bits, -1..6), then text up to the first NUL, then a second text up to the
// next NUL. Every string function of the interface runs on the text: a size
// query, then a heap block of exactly the size asked for (ASan reports any
// byte touched beyond it), then the chosen capacity; the answers must agree
// with the buffer contract (same size every time, a cut result a prefix of
// the whole one, always terminated, nothing written at capacity 0). The
// whole input is also written to a file and read as a shortcut (resolving
// must give a path or the file's own name) and back through a stream.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "TalqOSUtils/talq.h"

namespace {

int gEncoding = 0;
std::string gSecond;

int Join(const char* in, char* b, size_t c, size_t* n) {
  return talq_path_join(in, gSecond.c_str(), b, c, n);
}
int Absolute(const char* in, char* b, size_t c, size_t* n) {
  return talq_path_absolute(in, gSecond.c_str(), b, c, n);
}
int ToEncoding(const char* in, char* b, size_t c, size_t* n) {
  return talq_utf8_to_encoding(gEncoding, in, b, c, n);
}
int FromEncoding(const char* in, char* b, size_t c, size_t* n) {
  return talq_encoding_to_utf8(gEncoding, in, b, c, n);
}
// UTF-8 to UTF-16 and back, so that the UTF-16 functions see the text too.
int RoundTrip16(const char* in, char* b, size_t c, size_t* n) {
  size_t units = 0;
  FUZZ_CHECK(talq_utf8_to_utf16(in, nullptr, 0, &units) == TALQ_OK && units >= 1);
  std::vector<talq_unit> wide(units);
  FUZZ_CHECK(talq_utf8_to_utf16(in, wide.data(), units, nullptr) == TALQ_OK);
  FUZZ_CHECK(wide[units - 1] == 0);
  int has = -1;
  FUZZ_CHECK(talq_utf16_has_bom(wide.data(), &has) == TALQ_OK && (has == 0 || has == 1));
  std::vector<talq_unit> stripped(units);
  FUZZ_CHECK(talq_utf16_strip_bom(wide.data(), stripped.data(), units, nullptr) == TALQ_OK);
  return talq_utf16_to_utf8(wide.data(), b, c, n);
}

using TextFn = int (*)(const char*, char*, size_t, size_t*);
constexpr TextFn kFunctions[] = {talq_path_to_nt,
                                 talq_path_from_nt,
                                 talq_path_to_hfs,
                                 talq_path_from_hfs,
                                 talq_path_to_unix,
                                 talq_path_from_unix,
                                 talq_path_basename,
                                 talq_path_dirname,
                                 talq_name_bytes_to_utf8,
                                 talq_utf8_to_name_bytes,
                                 talq_utf8_strip_bom,
                                 talq_resolve_shortcut,
                                 Join,
                                 Absolute,
                                 ToEncoding,
                                 FromEncoding,
                                 RoundTrip16};

void CheckContract(TextFn fn, const char* in, size_t capacity) {
  size_t needed = 0;
  const int code = fn(in, nullptr, 0, &needed);
  if (code != TALQ_OK) {
    FUZZ_CHECK(needed == 0);
    char probe[2] = {'x', 'x'};
    FUZZ_CHECK(fn(in, probe, 2, &needed) == code && probe[0] == 0 && needed == 0);
    return;
  }
  FUZZ_CHECK(needed >= 1);
  std::unique_ptr<char[]> whole(new char[needed]);
  size_t again = 0;
  FUZZ_CHECK(fn(in, whole.get(), needed, &again) == TALQ_OK && again == needed);
  FUZZ_CHECK(whole[needed - 1] == 0);
  std::unique_ptr<char[]> part(new char[capacity == 0 ? 1 : capacity]);
  part[0] = 'x';
  const int cut = fn(in, part.get(), capacity, &again);
  FUZZ_CHECK(again == needed);
  if (capacity == 0) {
    FUZZ_CHECK(cut == TALQ_ERROR_INSUFFICIENT_BUFFER && part[0] == 'x');
  } else if (capacity >= needed) {
    FUZZ_CHECK(cut == TALQ_OK && std::memcmp(part.get(), whole.get(), needed) == 0);
  } else {
    FUZZ_CHECK(cut == TALQ_ERROR_INSUFFICIENT_BUFFER && part[capacity - 1] == 0);
    FUZZ_CHECK(std::memcmp(part.get(), whole.get(), capacity - 1) == 0);
  }
}

// The input as a file, read as a shortcut and through a stream.
void CheckFile(const uint8_t* data, size_t size) {
  static char path[] = "/tmp/fuzz_capi_XXXXXX.lnk";
  static bool made = false;
  if (!made) {
    const int fd = mkstemps(path, 4);
    FUZZ_CHECK(fd >= 0);
    close(fd);
    made = true;
    std::atexit([] { std::remove(path); });
  }
  FILE* f = std::fopen(path, "wb");
  FUZZ_CHECK(f != nullptr);
  FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, f) == size);
  std::fclose(f);

  char target[1100];
  size_t needed = 0;
  const int code = talq_resolve_shortcut(path, target, sizeof target, &needed);
  FUZZ_CHECK(code == TALQ_OK || code == TALQ_ERROR_INSUFFICIENT_BUFFER);
  FUZZ_CHECK(code != TALQ_OK || std::strlen(target) + 1 == needed);
  FUZZ_CHECK(needed >= 2);

  talq_stream* stream = nullptr;
  FUZZ_CHECK(talq_stream_open(path, TALQ_STREAM_READ, 0, &stream) == TALQ_OK);
  int64_t length = -1;
  FUZZ_CHECK(talq_stream_size(stream, &length) == TALQ_OK && length == int64_t(size));
  std::vector<uint8_t> back(size + 1);
  uint32_t got = 0;
  FUZZ_CHECK(talq_stream_read(stream, back.data(), uint32_t(size + 1), &got) == TALQ_OK);
  FUZZ_CHECK(got == size && std::memcmp(back.data(), data, size) == 0);
  FUZZ_CHECK(talq_stream_close(stream) == TALQ_OK);
  FUZZ_CHECK(talq_stream_close(stream) == TALQ_ERROR_INVALID_HANDLE);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t capacity = data[0] % 64;
  gEncoding = (data[0] >> 5) - 1;  // -1..6: the unknown and the refused one too
  const char* begin = reinterpret_cast<const char*>(data + 1);
  const std::string first(begin, strnlen(begin, size - 1));
  const size_t rest = first.size() + 1 < size - 1 ? first.size() + 1 : size - 1;
  gSecond.assign(begin + rest, strnlen(begin + rest, size - 1 - rest));

  for (TextFn fn : kFunctions) CheckContract(fn, first.c_str(), capacity);
  int has = -1;
  FUZZ_CHECK(talq_utf8_has_bom(first.c_str(), &has) == TALQ_OK && (has == 0 || has == 1));
  int kind = -1;
  FUZZ_CHECK(talq_path_kind(first.c_str(), &kind) == TALQ_OK && kind >= 0 && kind <= 2);
  CheckFile(data + 1, size - 1);
  return 0;
}
