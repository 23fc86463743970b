// Vandrel's single-byte code pages against ICU converters and glibc iconv:
// Mac OS Roman, ISO 8859-1 and Windows-1252 (Vandrel's platform code page
// off Windows), each way, on a 64-byte string and a 1 MiB text.
//
// Vandrel's rows write into a buffer allocated once. The map rows run
// UnicodeString::MapEncodingToUTF8 / MapUTF8ToEncoding against ICU's
// ucnv_convertEx (through UTF-16 in a pivot buffer on the stack) and iconv,
// each returning a std::string, warm and cold (see BenchSupport.h). After the
// runs a table gives ICU's and iconv's times divided by ours (above 1: ours
// is faster). Goals, reported and never enforced: ratio vs ICU >= 1.25 on
// 1 MiB, >= 1 on 64 bytes.
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
#include "TalqOSUtils/UnicodeString.h"
#include "Vandrel/Vandrel.h"

namespace {

using Vandrel::Uni16;
static_assert(sizeof(Uni16) == sizeof(UChar), "ICU and Vandrel share the unit size");

struct CodePage {
  const char* name;
  TalqOSUtils::Encoding encoding;
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
      {"macroman", TalqOSUtils::kMacRomanEncoding, "macintosh", "MACINTOSH",
       [](const std::string& s, Uni16* d, std::size_t c) {
         return Vandrel::MacRomanStringToUni16Char(s, d, c);
       },
       Vandrel::Uni16CharToMacRomanCString, Range(0x80, 0xFF, {0xC6, 0xF0})},
      {"latin1", TalqOSUtils::kISOLatin1Encoding, "ISO-8859-1", "ISO-8859-1",
       [](const std::string& s, Uni16* d, std::size_t c) {
         return Vandrel::ISOLatin1CStringToUni16Char(s.c_str(), d, c);
       },
       Vandrel::Uni16CharToISOLatin1CString, Range(0xA0, 0xFF)},
      {"cp1252", TalqOSUtils::kPlatformEncoding, "windows-1252", "CP1252",
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
  std::string utf8;
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
        c.utf8 = TalqOSUtils::UnicodeString::MapEncodingToUTF8(page.encoding, c.bytes);
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

  UConverter* get() const { return mCnv; }

 private:
  UConverter* mCnv = nullptr;
};

// ICU's one-call two-step conversion: from `from` through UTF-16 in a pivot
// buffer on the stack to `to`, into a result the caller sizes for the worst
// case and then cuts.
std::string IcuConvert(const Icu& to, const Icu& from, const std::string& text,
                       std::size_t perByte) {
  std::string out(perByte * text.size(), '\0');
  UChar pivot[1024];
  UChar* pivotSource = pivot;
  UChar* pivotTarget = pivot;
  char* target = &out[0];
  const char* source = text.data();
  UErrorCode status = U_ZERO_ERROR;
  ucnv_convertEx(to.get(), from.get(), &target, out.data() + out.size(), &source,
                 text.data() + text.size(), pivot, &pivotSource, &pivotTarget, pivot + 1024, true,
                 true, &status);
  if (U_FAILURE(status)) throw std::runtime_error("ucnv_convertEx failed");
  out.resize(static_cast<std::size_t>(target - out.data()));
  return out;
}

std::string IconvConvert(bench::Iconv& cd, const std::string& text, std::size_t perByte) {
  std::string out(perByte * text.size(), '\0');
  out.resize(cd.Run(text.data(), text.size(), &out[0], out.size()));
  return out;
}

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

    // UnicodeString's map functions, results as a host gets them.
    auto page = std::make_shared<Icu>(c.page->icuName);
    auto utf8 = std::make_shared<Icu>("UTF-8");
    auto pageToUtf8 = std::make_shared<bench::Iconv>("UTF-8", c.page->iconvName);
    auto utf8ToPage = std::make_shared<bench::Iconv>(c.page->iconvName, "UTF-8");
    const TalqOSUtils::Encoding e = c.page->encoding;
    if (TalqOSUtils::UnicodeString::MapUTF8ToEncoding(e, c.utf8) != c.bytes ||
        IcuConvert(*utf8, *page, c.bytes, 3) != c.utf8) {
      std::fprintf(stderr, "warning: %s: map results differ\n", c.name.c_str());
    }
    bench::RegisterWarmCold("ToUTF8/Talq/" + c.name, n, [k, e] {
      return TalqOSUtils::UnicodeString::MapEncodingToUTF8(e, k->bytes);
    });
    bench::RegisterWarmCold("ToUTF8/ICU/" + c.name, n,
                            [k, page, utf8] { return IcuConvert(*utf8, *page, k->bytes, 3); });
    bench::RegisterWarmCold("ToUTF8/iconv/" + c.name, n,
                            [k, pageToUtf8] { return IconvConvert(*pageToUtf8, k->bytes, 3); });
    bench::RegisterWarmCold("FromUTF8/Talq/" + c.name, n, [k, e] {
      return TalqOSUtils::UnicodeString::MapUTF8ToEncoding(e, k->utf8);
    });
    bench::RegisterWarmCold("FromUTF8/ICU/" + c.name, n,
                            [k, page, utf8] { return IcuConvert(*page, *utf8, k->utf8, 1); });
    bench::RegisterWarmCold("FromUTF8/iconv/" + c.name, n,
                            [k, utf8ToPage] { return IconvConvert(*utf8ToPage, k->utf8, 1); });
  }
}

void PrintRatios(const bench::TimeKeeper& times) {
  std::printf("\nVandrel into reused buffers (goal: ICU ratio >= 1.25 on 1 MiB, >= 1 on 64 B)\n");
  std::printf("%-9s %-15s %-5s %14s %9s %11s\n", "direction", "text", "run", "ours ns", "ICU/ours",
              "iconv/ours");
  auto row = [&](const char* direction, const char* ours, const Case& c, const char* run) {
    const std::string head = std::string(direction) + "/";
    const double t = times.Time(head + ours + "/" + c.name + run);
    if (t <= 0) return;
    const double icu = times.Time(head + "ICU/" + c.name + run) / t;
    const double iconv = times.Time(head + "iconv/" + c.name + run) / t;
    const bool small = c.bytes.size() < 1024;
    std::printf("%-9s %-15s %-5s %14.1f %9.2f %11.2f   %s\n", direction, c.name.c_str(),
                *run ? "cold" : "warm", t, icu, iconv,
                icu >= (small ? 1.0 : 1.25) ? "met" : "MISSED");
  };
  for (const char* direction : {"Decode", "Encode"}) {
    for (const Case& c : Cases()) row(direction, "Vandrel", c, "");
  }
  std::printf("\nUnicodeString map functions vs ICU ucnv_convertEx and iconv, results allocated\n");
  for (const char* direction : {"ToUTF8", "FromUTF8"}) {
    for (const Case& c : Cases()) {
      for (const char* run : {"", "/cold"}) row(direction, "Talq", c, run);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  return bench::RunAndReport(argc, argv, PrintRatios);
}
