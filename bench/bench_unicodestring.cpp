// UnicodeString's UTF-8 conversions against ICU and glibc iconv.
//
// Each case builds the same result the way a caller would: a 16-bit string
// from a UTF-8 std::string (UnicodeString's constructor; u_strFromUTF8 and
// iconv into a string sized for the worst case), and a UTF-8 std::string from
// 16-bit text (UnicodeString::get; u_strToUTF8; iconv). A fourth row runs the
// Vandrel converter alone into a reused buffer, to show what UnicodeString
// adds around it. After the runs a table gives the other CPU times divided by
// ours: above 1 means the other is slower.
//
// Goals, reported and never enforced: ratio vs ICU >= 1 on 1 MiB texts,
// >= 0.67 (within 1.5x) on 64-byte paths, ratio vs iconv >= 3.
//
// Run: build with -DCMAKE_BUILD_TYPE=Release -DTALQ_BUILD_BENCH=ON, then
// bin/bench_unicodestring [--benchmark_filter=1MiB] [--benchmark_repetitions=5].

#include <benchmark/benchmark.h>
#include <iconv.h>
#include <unicode/ustring.h>
#include <unicode/utypes.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "TalqOSUtils/UnicodeString.h"
#include "Vandrel/Vandrel.h"

namespace {

using TalqOSUtils::UniChar;
using TalqOSUtils::UnicodeString;
using TalqOSUtils::UniString;

static_assert(sizeof(UniChar) == sizeof(UChar), "ICU and the library share the unit size");

// ---------------------------------------------------------------------------
// Texts

void AppendUTF8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// About `bytes` of UTF-8 drawn from `alphabet` (deterministic), with a space
// every few characters as in running text.
std::string MakeText(const std::u32string& alphabet, std::size_t bytes) {
  std::string out;
  out.reserve(bytes + 4);
  std::uint32_t state = 12345;
  while (out.size() < bytes) {
    state = state * 1664525u + 1013904223u;
    AppendUTF8(out, (state >> 24) % 7 == 0 ? U' ' : alphabet[(state >> 8) % alphabet.size()]);
  }
  return out;
}

struct Text {
  const char* name;
  std::string utf8;
};

const std::vector<Text>& Texts() {
  static const std::vector<Text> texts = [] {
    constexpr std::size_t kMiB = 1 << 20;
    std::u32string ascii, latin, cjk, emoji;
    for (char32_t c = 'a'; c <= 'z'; ++c) ascii += c;
    // Letters with diacritics about one time in eight, as in accent-heavy prose.
    latin = ascii + ascii + ascii + ascii +
            U"\u00E0\u00E2\u00E4\u00E7\u00E8\u00E9\u00EA\u00EB\u00EE\u00EF\u00F4\u00F6"
            U"\u00F9\u00FB\u00FC\u00DF";
    for (char32_t c = 0x4E00; c < 0x4E00 + 500; ++c) cjk += c;
    for (char32_t c = 0x1F600; c < 0x1F650; ++c) emoji += c;
    std::string path = "/C:/Users/someone/Documents/Projects/talq/src/text/Unicode.cpp";
    path.resize(64, 'x');
    return std::vector<Text>{{"path_64B", path},
                             {"ascii_1MiB", MakeText(ascii, kMiB)},
                             {"latin_1MiB", MakeText(latin, kMiB)},
                             {"cjk_1MiB", MakeText(cjk, kMiB)},
                             {"emoji_1MiB", MakeText(emoji, kMiB)}};
  }();
  return texts;
}

// ---------------------------------------------------------------------------
// Conversions under test. Each returns the result so nothing is optimised out.

UniString TalqFromUTF8(const std::string& utf8) { return UnicodeString(utf8); }

UniString IcuFromUTF8(const std::string& utf8) {
  UniString out(utf8.size(), UniChar());
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8(reinterpret_cast<UChar*>(&out[0]), static_cast<int32_t>(out.size()), &length,
                utf8.data(), static_cast<int32_t>(utf8.size()), &status);
  if (U_FAILURE(status)) throw std::runtime_error("u_strFromUTF8 failed");
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::string TalqToUTF8(const UnicodeString& text) {
  std::string out;
  text.get(out);
  return out;
}

std::string IcuToUTF8(const UniString& text) {
  std::string out(3 * text.size(), '\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8(&out[0], static_cast<int32_t>(out.size()), &length,
              reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()),
              &status);
  if (U_FAILURE(status)) throw std::runtime_error("u_strToUTF8 failed");
  out.resize(static_cast<std::size_t>(length));
  return out;
}

class Iconv {
 public:
  Iconv(const char* to, const char* from) : mCd(iconv_open(to, from)) {
    if (mCd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  }
  ~Iconv() { iconv_close(mCd); }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // Converts the bytes at in; returns the number of bytes written to out.
  std::size_t Run(const void* in, std::size_t inBytes, void* out, std::size_t outBytes) {
    iconv(mCd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(static_cast<const char*>(in));
    char* dst = static_cast<char*>(out);
    const std::size_t capacity = outBytes;
    if (iconv(mCd, &src, &inBytes, &dst, &outBytes) == static_cast<std::size_t>(-1)) {
      throw std::runtime_error("iconv failed");
    }
    return capacity - outBytes;
  }

 private:
  iconv_t mCd;
};

UniString IconvFromUTF8(Iconv& cd, const std::string& utf8) {
  UniString out(utf8.size(), UniChar());
  const std::size_t written =
      cd.Run(utf8.data(), utf8.size(), &out[0], out.size() * sizeof(UniChar));
  out.resize(written / sizeof(UniChar));
  return out;
}

std::string IconvToUTF8(Iconv& cd, const UniString& text) {
  std::string out(3 * text.size(), '\0');
  out.resize(cd.Run(text.data(), text.size() * sizeof(UniChar), &out[0], out.size()));
  return out;
}

// The converter alone: no result string, buffers allocated once.
std::size_t VandrelFromUTF8(const std::string& utf8, std::vector<UniChar>& buffer) {
  return static_cast<std::size_t>(
      Vandrel::UTF8ToUni16Char(utf8.c_str(), buffer.data(), buffer.size()));
}

std::size_t VandrelToUTF8(const UniString& text, std::vector<char>& buffer) {
  return static_cast<std::size_t>(
      Vandrel::Uni16CharToUTF8(text.c_str(), buffer.data(), buffer.size()));
}

// ---------------------------------------------------------------------------
// Registration and the ratio table

const char* const kFrom = "FromUTF8";
const char* const kTo = "ToUTF8";

std::string Name(const char* direction, const char* impl, const Text& text) {
  return std::string(direction) + "/" + impl + "/" + text.name;
}

template <typename Fn>
void Register(const std::string& name, std::size_t bytes, Fn fn) {
  benchmark::RegisterBenchmark(name.c_str(), [bytes, fn](benchmark::State& state) {
    for (auto _ : state) {
      auto result = fn();
      benchmark::DoNotOptimize(result);
      benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  });
}

void RegisterAll() {
  for (const Text& text : Texts()) {
    const std::string* utf8 = &text.utf8;
    const std::size_t n = utf8->size();
    const UnicodeString* wide = new UnicodeString(*utf8);  // lives as long as the process
    if (TalqFromUTF8(*utf8) != IcuFromUTF8(*utf8) || TalqToUTF8(*wide) != *utf8) {
      std::fprintf(stderr, "warning: %s: results differ from ICU\n", text.name);
    }
    Register(Name(kFrom, "Talq", text), n, [utf8] { return TalqFromUTF8(*utf8); });
    Register(Name(kFrom, "ICU", text), n, [utf8] { return IcuFromUTF8(*utf8); });
    Register(Name(kFrom, "iconv", text), n, [utf8] {
      static Iconv cd("UTF-16LE", "UTF-8");
      return IconvFromUTF8(cd, *utf8);
    });
    auto* units = new std::vector<UniChar>(n + 1);
    Register(Name(kFrom, "Vandrel", text), n,
             [utf8, units] { return VandrelFromUTF8(*utf8, *units); });
    Register(Name(kTo, "Talq", text), n, [wide] { return TalqToUTF8(*wide); });
    Register(Name(kTo, "ICU", text), n, [wide] { return IcuToUTF8(*wide); });
    Register(Name(kTo, "iconv", text), n, [wide] {
      static Iconv cd("UTF-8", "UTF-16LE");
      return IconvToUTF8(cd, *wide);
    });
    auto* bytes = new std::vector<char>(3 * wide->size() + 1);
    Register(Name(kTo, "Vandrel", text), n, [wide, bytes] { return VandrelToUTF8(*wide, *bytes); });
  }
}

// Keeps the fastest real time of every benchmark for the table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      // CPU time: the machine may be shared, and every case is single-threaded.
      const double t = run.GetAdjustedCPUTime();
      auto it = mTimes.find(run.benchmark_name());
      if (it == mTimes.end() || t < it->second) mTimes[run.benchmark_name()] = t;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    std::printf(
        "\nCPU time of Talq in ns; other / Talq (goals: ICU >= 1 on 1 MiB, >= 0.67 on 64 B;"
        " iconv >= 3)\n");
    std::printf("%-10s %-12s %12s %17s %17s %12s\n", "direction", "text", "Talq ns", "ICU/Talq",
                "iconv/Talq", "Vandrel/Talq");
    for (const char* direction : {kFrom, kTo}) {
      for (const Text& text : Texts()) {
        const double talq = Time(Name(direction, "Talq", text));
        const double icu = Time(Name(direction, "ICU", text));
        const double iconv = Time(Name(direction, "iconv", text));
        const double vandrel = Time(Name(direction, "Vandrel", text));
        if (talq <= 0) continue;
        const bool small = text.utf8.size() < 1024;
        const double icuRatio = icu / talq;
        const double iconvRatio = iconv / talq;
        std::printf("%-10s %-12s %12.1f %10.2f%-7s %10.2f%-7s %12.2f\n", direction, text.name, talq,
                    icuRatio, icuRatio >= (small ? 1 / 1.5 : 1.0) ? " met" : " missed", iconvRatio,
                    iconvRatio >= 3.0 ? " met" : " missed", vandrel / talq);
      }
    }
  }

 private:
  double Time(const std::string& name) const {
    auto it = mTimes.find(name);
    return it == mTimes.end() ? 0 : it->second;
  }

  std::map<std::string, double> mTimes;
};

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
