// Vandrel's raw UTF-8 <-> UTF-16 conversions against ICU and glibc iconv,
// and Vandrel's conversion by length against its fixed functions.
//
// All three write into buffers allocated once, sized for the worst case, so
// only the conversion is timed. Vandrel reads NUL-terminated text and so
// measures its source as part of the work; ICU and iconv are given the
// length. After the runs a table gives Vandrel's GB/s of input (UTF-8 bytes
// one way, UTF-16 bytes the other) and ICU's and iconv's times divided by
// Vandrel's: above 1 means Vandrel is faster. VANDREL_KERNELS picks a
// narrower kernel set; scripts/bench-kernels runs every set.
//
// Goals, reported and never enforced: ratio vs ICU >= 1 on 1 MiB texts,
// ratio vs iconv >= 3.
//
// Run: build with -DCMAKE_BUILD_TYPE=Release -DTALQ_BUILD_BENCH=ON, then
// bin/bench_vandrel_utf8 [--benchmark_filter=1MiB] [--benchmark_repetitions=5].

#include <unicode/ustring.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "Kernels.h"
#include "Vandrel/Vandrel.h"

namespace {

using Vandrel::Uni16;
static_assert(sizeof(Uni16) == sizeof(UChar), "ICU and Vandrel share the unit size");

struct Text {
  std::string name;
  std::string utf8;
  std::basic_string<Uni16> utf16;
};

const std::vector<Text>& Texts() {
  static const std::vector<Text> texts = [] {
    std::vector<Text> out;
    for (std::size_t size : {std::size_t{64}, std::size_t{1} << 20}) {
      const std::string suffix = size == 64 ? "_64B" : "_1MiB";
      for (const auto& [name, alphabet] : bench::Alphabets()) {
        Text t{name + suffix, bench::MakeText(alphabet, size), {}};
        t.utf16.resize(t.utf8.size() + 1);
        const int n = Vandrel::UTF8ToUni16Char(t.utf8.c_str(), &t.utf16[0], t.utf16.size());
        if (n < 0) throw std::runtime_error("text does not convert");
        t.utf16.resize(static_cast<std::size_t>(n));
        out.push_back(std::move(t));
      }
    }
    return out;
  }();
  return texts;
}

// Each implementation writes into `out` and returns the number of elements.
using FromFn = std::size_t (*)(const Text&, Uni16* out, std::size_t capacity);
using ToFn = std::size_t (*)(const Text&, char* out, std::size_t capacity);

std::size_t VandrelFrom(const Text& t, Uni16* out, std::size_t capacity) {
  return static_cast<std::size_t>(Vandrel::UTF8ToUni16Char(t.utf8.c_str(), out, capacity));
}
std::size_t IcuFrom(const Text& t, Uni16* out, std::size_t capacity) {
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8(reinterpret_cast<UChar*>(out), static_cast<int32_t>(capacity), &length,
                t.utf8.data(), static_cast<int32_t>(t.utf8.size()), &status);
  return static_cast<std::size_t>(length);
}
std::size_t IconvFrom(const Text& t, Uni16* out, std::size_t capacity) {
  static bench::Iconv cd("UTF-16LE", "UTF-8");
  return cd.Run(t.utf8.data(), t.utf8.size(), out, capacity * sizeof(Uni16)) / sizeof(Uni16);
}
std::size_t VandrelTo(const Text& t, char* out, std::size_t capacity) {
  return static_cast<std::size_t>(Vandrel::Uni16CharToUTF8(t.utf16.c_str(), out, capacity));
}
std::size_t IcuTo(const Text& t, char* out, std::size_t capacity) {
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8(out, static_cast<int32_t>(capacity), &length,
              reinterpret_cast<const UChar*>(t.utf16.data()), static_cast<int32_t>(t.utf16.size()),
              &status);
  return static_cast<std::size_t>(length);
}
std::size_t IconvTo(const Text& t, char* out, std::size_t capacity) {
  static bench::Iconv cd("UTF-8", "UTF-16LE");
  return cd.Run(t.utf16.data(), t.utf16.size() * sizeof(Uni16), out, capacity);
}

// The conversion by length, strict, into the same buffers.
std::size_t ConvertFrom(const Text& t, Uni16* out, std::size_t capacity) {
  const Vandrel::ConvertResult r =
      Vandrel::Convert(Vandrel::TextEncoding::kUtf8, Vandrel::TextEncoding::kUtf16LE, t.utf8.data(),
                       t.utf8.size(), out, capacity * sizeof(Uni16), Vandrel::Policy::kStop, true);
  return r.written / sizeof(Uni16);
}
std::size_t ConvertTo(const Text& t, char* out, std::size_t capacity) {
  return Vandrel::Convert(Vandrel::TextEncoding::kUtf16LE, Vandrel::TextEncoding::kUtf8,
                          t.utf16.data(), t.utf16.size() * sizeof(Uni16), out, capacity,
                          Vandrel::Policy::kStop, true)
      .written;
}

const char* const kImpls[] = {"Vandrel", "ICU", "iconv", "Convert"};
const FromFn kFrom[] = {VandrelFrom, IcuFrom, IconvFrom, ConvertFrom};
const ToFn kTo[] = {VandrelTo, IcuTo, IconvTo, ConvertTo};
constexpr int kImplCount = 4;

void RegisterAll() {
  for (const Text& text : Texts()) {
    const Text* t = &text;
    for (int i = 0; i < kImplCount; ++i) {
      benchmark::RegisterBenchmark(
          ("FromUTF8/" + std::string(kImpls[i]) + "/" + text.name).c_str(),
          [t, fn = kFrom[i]](benchmark::State& state) {
            std::vector<Uni16> out(t->utf8.size() + 1);
            if (fn(*t, out.data(), out.size()) != t->utf16.size()) state.SkipWithError("length");
            for (auto _ : state) {
              benchmark::DoNotOptimize(fn(*t, out.data(), out.size()));
              benchmark::ClobberMemory();
            }
            state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * t->utf8.size()));
          });
      benchmark::RegisterBenchmark(("ToUTF8/" + std::string(kImpls[i]) + "/" + text.name).c_str(),
                                   [t, fn = kTo[i]](benchmark::State& state) {
                                     std::vector<char> out(3 * t->utf16.size() + 1);
                                     if (fn(*t, out.data(), out.size()) != t->utf8.size())
                                       state.SkipWithError("length");
                                     for (auto _ : state) {
                                       benchmark::DoNotOptimize(fn(*t, out.data(), out.size()));
                                       benchmark::ClobberMemory();
                                     }
                                     state.SetBytesProcessed(static_cast<int64_t>(
                                         state.iterations() * t->utf16.size() * sizeof(Uni16)));
                                   });
    }
  }
}

void PrintRatios(const bench::TimeKeeper& times) {
  std::printf("\nkernel set: %s\n", Vandrel::detail::KernelSetName());
  std::printf(
      "%-9s %-11s %14s %8s %9s %11s %9s   goals: ICU ratio >= 1 (1 MiB), iconv ratio >= 3, "
      "Convert/Vand <= 1\n",
      "direction", "text", "Vandrel ns", "GB/s", "ICU/Vand", "iconv/Vand", "Conv/Vand");
  for (const char* direction : {"FromUTF8", "ToUTF8"}) {
    for (const Text& text : Texts()) {
      const std::string tail = "/" + text.name;
      const std::string head = std::string(direction) + "/";
      const double ours = times.Time(head + "Vandrel" + tail);
      if (ours <= 0) continue;
      const double icu = times.Time(head + "ICU" + tail) / ours;
      const double iconv = times.Time(head + "iconv" + tail) / ours;
      const bool small = text.utf8.size() < 1024;
      const double convert = times.Time(head + "Convert" + tail) / ours;
      const bool met = (small || (icu >= 1.0 && convert <= 1.0)) && iconv >= 3.0;
      const double input = *direction == 'F' ? static_cast<double>(text.utf8.size())
                                             : 2.0 * static_cast<double>(text.utf16.size());
      std::printf("%-9s %-11s %14.1f %8.2f %9.2f %11.2f %9.2f   %s\n", direction, text.name.c_str(),
                  ours, input / ours, icu, iconv, convert, met ? "met" : "MISSED");
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  return bench::RunAndReport(argc, argv, PrintRatios);
}
