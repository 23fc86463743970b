// Vandrel's single-byte code pages against ICU converters and glibc iconv:
// Mac OS Roman, ISO 8859-1 and Windows-1252 (Vandrel's platform code page
// off Windows), each way, on a 64-byte string and a 1 MiB text.
//
// Every implementation writes into a buffer allocated once. After the runs a
// table gives ICU's and iconv's times divided by Vandrel's (above 1: Vandrel
// is faster). Goal, reported and never enforced: ratio vs ICU >= 1.
//
// Run: build with -DCMAKE_BUILD_TYPE=Release -DTALQ_BUILD_BENCH=ON, then
// bin/bench_codepages [--benchmark_filter=1MiB] [--benchmark_repetitions=5].

#include <unicode/ucnv.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "Vandrel/Vandrel.h"

namespace {

using Vandrel::Uni16;
static_assert(sizeof(Uni16) == sizeof(UChar), "ICU and Vandrel share the unit size");

struct CodePage {
  const char* name;
  const char* icuName;
  const char* iconvName;
  int (*decode)(const std::string&, Uni16*, std::size_t);
  int (*encode)(const Uni16*, char*, std::size_t);
  std::vector<unsigned char> highBytes;  // those all three map alike
};

std::vector<unsigned char> Range(unsigned from, unsigned to, std::vector<unsigned> except = {}) {
  std::vector<unsigned char> out;
  for (unsigned b = from; b <= to; ++b) {
    bool skip = false;
    for (unsigned e : except) skip = skip || e == b;
    if (!skip) out.push_back(static_cast<unsigned char>(b));
  }
  return out;
}

const std::vector<CodePage>& CodePages() {
  static const std::vector<CodePage> pages = {
      {"macroman", "macintosh", "MACINTOSH",
       [](const std::string& s, Uni16* d, std::size_t c) {
         return Vandrel::MacRomanStringToUni16Char(s, d, c);
       },
       Vandrel::Uni16CharToMacRomanCString, Range(0x80, 0xFF, {0xC6, 0xF0})},
      {"latin1", "ISO-8859-1", "ISO-8859-1",
       [](const std::string& s, Uni16* d, std::size_t c) {
         return Vandrel::ISOLatin1CStringToUni16Char(s.c_str(), d, c);
       },
       Vandrel::Uni16CharToISOLatin1CString, Range(0xA0, 0xFF)},
      {"cp1252", "windows-1252", "CP1252",
       [](const std::string& s, Uni16* d, std::size_t c) {
         return Vandrel::PlatformCStringToUni16Char(s.c_str(), d, c);
       },
       Vandrel::Uni16CharToPlatformCString, Range(0x80, 0xFF, {0x81, 0x8D, 0x8F, 0x90, 0x9D})},
  };
  return pages;
}

// Running text: letters and spaces with about one byte in five above 0x7F.
std::string MakeText(const CodePage& page, std::size_t bytes) {
  std::string out;
  std::uint32_t state = 4711;
  while (out.size() < bytes) {
    state = state * 1664525u + 1013904223u;
    const unsigned r = state >> 16;
    if (r % 7 == 0) {
      out += ' ';
    } else if (r % 5 == 0) {
      out += static_cast<char>(page.highBytes[(r >> 4) % page.highBytes.size()]);
    } else {
      out += static_cast<char>('a' + (r >> 4) % 26);
    }
  }
  return out;
}

struct Case {
  const CodePage* page;
  std::string name;  // e.g. macroman_1MiB
  std::string bytes;
  std::basic_string<Uni16> units;
};

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = [] {
    std::vector<Case> out;
    for (const CodePage& page : CodePages()) {
      for (std::size_t size : {std::size_t{64}, std::size_t{1} << 20}) {
        Case c{&page,
               std::string(page.name) + (size == 64 ? "_64B" : "_1MiB"),
               MakeText(page, size),
               {}};
        c.units.resize(c.bytes.size() + 1);
        c.units.resize(static_cast<std::size_t>(page.decode(c.bytes, &c.units[0], c.units.size())));
        out.push_back(std::move(c));
      }
    }
    return out;
  }();
  return cases;
}

class Icu {
 public:
  explicit Icu(const char* name) {
    UErrorCode status = U_ZERO_ERROR;
    mCnv = ucnv_open(name, &status);
    if (U_FAILURE(status)) throw std::runtime_error("ucnv_open failed");
  }
  ~Icu() { ucnv_close(mCnv); }
  Icu(const Icu&) = delete;
  Icu& operator=(const Icu&) = delete;
  std::size_t ToUnits(const std::string& s, Uni16* out, std::size_t capacity) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n =
        ucnv_toUChars(mCnv, reinterpret_cast<UChar*>(out), static_cast<int32_t>(capacity), s.data(),
                      static_cast<int32_t>(s.size()), &status);
    return U_FAILURE(status) ? 0 : static_cast<std::size_t>(n);
  }
  std::size_t ToBytes(const std::basic_string<Uni16>& u, char* out, std::size_t capacity) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_fromUChars(mCnv, out, static_cast<int32_t>(capacity),
                                      reinterpret_cast<const UChar*>(u.data()),
                                      static_cast<int32_t>(u.size()), &status);
    return U_FAILURE(status) ? 0 : static_cast<std::size_t>(n);
  }

 private:
  UConverter* mCnv = nullptr;
};

void RegisterAll() {
  for (const Case& c : Cases()) {
    const Case* k = &c;
    const std::size_t n = c.bytes.size();
    auto units = std::make_shared<std::vector<Uni16>>(n + 1);
    auto bytes = std::make_shared<std::vector<char>>(n + 1);
    auto icu = std::make_shared<Icu>(c.page->icuName);
    auto toUnits = std::make_shared<bench::Iconv>("UTF-16LE", c.page->iconvName);
    auto toBytes = std::make_shared<bench::Iconv>(c.page->iconvName, "UTF-16LE");
    bench::Register("Decode/Vandrel/" + c.name, n, c.units.size(), [k, units] {
      return static_cast<std::size_t>(k->page->decode(k->bytes, units->data(), units->size()));
    });
    bench::Register("Decode/ICU/" + c.name, n, c.units.size(), [k, units, icu] {
      return icu->ToUnits(k->bytes, units->data(), units->size());
    });
    bench::Register("Decode/iconv/" + c.name, n, c.units.size(), [k, units, toUnits] {
      return toUnits->Run(k->bytes.data(), k->bytes.size(), units->data(),
                          units->size() * sizeof(Uni16)) /
             sizeof(Uni16);
    });
    bench::Register("Encode/Vandrel/" + c.name, n, n, [k, bytes] {
      return static_cast<std::size_t>(
          k->page->encode(k->units.c_str(), bytes->data(), bytes->size()));
    });
    bench::Register("Encode/ICU/" + c.name, n, n, [k, bytes, icu] {
      return icu->ToBytes(k->units, bytes->data(), bytes->size());
    });
    bench::Register("Encode/iconv/" + c.name, n, n, [k, bytes, toBytes] {
      return toBytes->Run(k->units.data(), k->units.size() * sizeof(Uni16), bytes->data(),
                          bytes->size());
    });
  }
}

void PrintRatios(const bench::TimeKeeper& times) {
  std::printf("\n%-9s %-15s %14s %9s %11s   goal: ICU ratio >= 1\n", "direction", "text",
              "Vandrel time", "ICU/Vand", "iconv/Vand");
  for (const char* direction : {"Decode", "Encode"}) {
    for (const Case& c : Cases()) {
      const std::string head = std::string(direction) + "/";
      const double ours = times.Time(head + "Vandrel/" + c.name);
      if (ours <= 0) continue;
      const double icu = times.Time(head + "ICU/" + c.name) / ours;
      const double iconv = times.Time(head + "iconv/" + c.name) / ours;
      std::printf("%-9s %-15s %14.1f %9.2f %11.2f   %s\n", direction, c.name.c_str(), ours, icu,
                  iconv, icu >= 1.0 ? "met" : "MISSED");
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  return bench::RunAndReport(argc, argv, PrintRatios);
}
