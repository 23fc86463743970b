// Shared pieces of the benchmarks: test texts, an iconv wrapper, warm and
// cold registration, and a reporter that keeps each benchmark's best CPU time
// for the ratio table printed after the runs.
//
// Warm runs repeat a conversion, so the allocator hands the same blocks back
// every time. Cold runs give the memory that was freed back to the system
// before each iteration (malloc_trim, untimed), so every large block is new
// to the process and costs its page faults, as when a host converts one big
// document. Repetitions run in random order, so ours and the baselines
// interleave on this shared machine.
#pragma once

#include <benchmark/benchmark.h>
#include <iconv.h>
#include <malloc.h>

#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace bench {

constexpr std::size_t kAnyResult = static_cast<std::size_t>(-1);

inline void AppendUTF8(std::string& out, char32_t c) {
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

/// About `bytes` of UTF-8 drawn from `alphabet` (deterministic), with a space
/// every few characters as in running text.
inline std::string MakeText(const std::u32string& alphabet, std::size_t bytes) {
  std::string out;
  out.reserve(bytes + 4);
  std::uint32_t state = 12345;
  while (out.size() < bytes) {
    state = state * 1664525u + 1013904223u;
    AppendUTF8(out, (state >> 24) % 7 == 0 ? U' ' : alphabet[(state >> 8) % alphabet.size()]);
  }
  return out;
}

/// The scripts the UTF-8 benchmarks run on, by name: ASCII letters; Latin
/// with a letter with diacritics about one time in eight; CJK ideographs
/// (three bytes each); emoji (four bytes, surrogate pairs in UTF-16).
inline const std::vector<std::pair<const char*, std::u32string>>& Alphabets() {
  static const std::vector<std::pair<const char*, std::u32string>> alphabets = [] {
    std::u32string ascii, cjk, emoji;
    for (char32_t c = 'a'; c <= 'z'; ++c) ascii += c;
    const std::u32string latin = ascii + ascii + ascii + ascii +
                                 U"\u00E0\u00E2\u00E4\u00E7\u00E8\u00E9\u00EA\u00EB\u00EE\u00EF"
                                 U"\u00F4\u00F6\u00F9\u00FB\u00FC\u00DF";
    for (char32_t c = 0x4E00; c < 0x4E00 + 500; ++c) cjk += c;
    for (char32_t c = 0x1F600; c < 0x1F650; ++c) emoji += c;
    return std::vector<std::pair<const char*, std::u32string>>{
        {"ascii", ascii}, {"latin", latin}, {"cjk", cjk}, {"emoji", emoji}};
  }();
  return alphabets;
}

/// One iconv conversion descriptor, reset before every run.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : mCd(iconv_open(to, from)) {
    if (mCd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  }
  ~Iconv() { iconv_close(mCd); }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  /// Converts inBytes bytes at in; returns the bytes written to out.
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

/// Registers a benchmark that calls fn() repeatedly over `bytes` of input. A
/// first call must return `expected`, or the benchmark reports an error
/// instead of a time (so a baseline that computes something else is caught).
template <typename Fn>
void Register(const std::string& name, std::size_t bytes, std::size_t expected, Fn fn) {
  benchmark::RegisterBenchmark(name.c_str(), [bytes, expected, fn](benchmark::State& state) {
    if constexpr (std::is_integral<decltype(fn())>::value) {
      if (expected != kAnyResult && fn() != expected) {
        state.SkipWithError("result differs from the expected one");
      }
    }
    for (auto _ : state) {
      auto result = fn();
      benchmark::DoNotOptimize(result);
      benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  });
}

/// As above, for results that are not compared.
template <typename Fn>
void Register(const std::string& name, std::size_t bytes, Fn fn) {
  Register(name, bytes, kAnyResult, fn);
}

/// Registers name + "/cold": as Register, but each iteration starts with the
/// freed memory given back to the system (untimed).
template <typename Fn>
void RegisterCold(const std::string& name, std::size_t bytes, Fn fn) {
  benchmark::RegisterBenchmark((name + "/cold").c_str(), [bytes, fn](benchmark::State& state) {
    for (auto _ : state) {
      state.PauseTiming();
      malloc_trim(0);
      state.ResumeTiming();
      auto result = fn();
      benchmark::DoNotOptimize(result);
      benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  });
}

/// Register, and for a large input RegisterCold as well.
template <typename Fn>
void RegisterWarmCold(const std::string& name, std::size_t bytes, Fn fn) {
  Register(name, bytes, fn);
  if (bytes >= 65536) RegisterCold(name, bytes, fn);
}

/// Console output plus each benchmark's lowest CPU time (the machine may be
/// shared, and every case is single-threaded).
class TimeKeeper : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const double t = run.GetAdjustedCPUTime();
      auto it = mTimes.find(run.benchmark_name());
      if (it == mTimes.end() || t < it->second) mTimes[run.benchmark_name()] = t;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  /// The time of a benchmark by name, or 0 when it did not run.
  double Time(const std::string& name) const {
    auto it = mTimes.find(name);
    return it == mTimes.end() ? 0 : it->second;
  }

 private:
  std::map<std::string, double> mTimes;
};

/// Runs the registered benchmarks, then prints the ratio table.
/// Without arguments: five repetitions of 0.1 s each, in random order.
inline int RunAndReport(int argc, char** argv,
                        const std::function<void(const TimeKeeper&)>& printRatios) {
  std::vector<char*> args(argv, argv + argc);
  static char reps[] = "--benchmark_repetitions=5";
  static char order[] = "--benchmark_enable_random_interleaving=true";
  static char minTime[] = "--benchmark_min_time=0.1";
  if (argc == 1) args.insert(args.end(), {reps, order, minTime});
  argc = static_cast<int>(args.size());
  argv = args.data();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TimeKeeper keeper;
  benchmark::RunSpecifiedBenchmarks(&keeper);
  printRatios(keeper);
  benchmark::Shutdown();
  return 0;
}

}  // namespace bench
