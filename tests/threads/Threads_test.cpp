// Eight threads at once, each with its own streams, searches, conversions and
// shortcut resolutions, checking every result. Built into its own program so
// that the ThreadSanitizer build can run it alone. The process-wide settings
// the interface leaves unsynchronised (default check functions, shared
// resources directory, logging switch, system encoding) are left alone.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "TalqOSUtils/FileSystem.h"
#include "TalqOSUtils/FindFile.h"
#include "TalqOSUtils/Paths.h"
#include "TalqOSUtils/Streams.h"
#include "TalqOSUtils/UnicodeString.h"
#include "support/FsTestSupport.h"

using namespace TalqOSUtils;  // NOLINT(google-build-using-namespace)

namespace {

constexpr int kThreads = 8;
#if defined(_WIN32)
constexpr int kIterations = 50;  // every call crosses Wine
#else
constexpr int kIterations = 200;
#endif

/// The first failure any thread saw, and how many there were.
struct Failures {
  std::mutex lock;
  int count = 0;
  std::string first;
  void Add(int thread, int iteration, const std::string& what) {
    const std::lock_guard<std::mutex> hold(lock);
    if (count++ == 0) {
      first = "thread " + std::to_string(thread) + ", iteration " + std::to_string(iteration) +
              ": " + what;
    }
  }
};

bool IsTxt(const ChFindFileIterator& entry) {
  const std::string name = entry.BaseName(nullptr);
  return name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0;
}

struct Worker {
  int id;
  std::string dir;     // generic, no trailing '/'
  std::string target;  // what the shortcut resolves to
  Failures* failures;

  void Expect(bool ok, int iteration, const std::string& what) const {
    if (!ok) failures->Add(id, iteration, what);
  }

  void Streams(int i) const {
    const std::string path = dir + "/data.bin";
    std::string bytes(1000 + 37 * ((id + i) % 50), '\0');
    for (std::size_t k = 0; k < bytes.size(); ++k) {
      bytes[k] = static_cast<char>((k * 31 + static_cast<std::size_t>(id * 7 + i)) & 0xFF);
    }
    {
      ChOutputStream out;
      out.open(path);
      out.write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
      out.printf("|%d:%d", id, i);
      Expect(out.good(), i, "write failed with " + std::to_string(out.error()));
    }
    bytes += "|" + std::to_string(id) + ":" + std::to_string(i);
    ChInputStream in;
    in.open(path);
    Expect(in.size() == static_cast<std::int64_t>(bytes.size()), i, "size");
    std::string back(bytes.size() + 1, '\0');
    const std::uint32_t got = in.read(&back[0], static_cast<std::uint32_t>(back.size()));
    back.resize(got);
    Expect(back == bytes, i, "read back other bytes");
    Expect(in.eof(), i, "no end of file");
    Expect(in.good(), i, "read failed with " + std::to_string(in.error()));
    in.seek(500);
    Expect(in.getpos() == 500, i, "position after seek");
    char c = 0;
    Expect(in.read(&c, 1) == 1 && c == bytes[500], i, "byte after seek");
  }

  void Search(int i) const {
    ChFindFile search(dir.c_str());
    search.SetFilter(&IsTxt);
    std::set<std::string> names;
    for (ChFindFileIterator it = search.FindFirst(); it.IsValid(); it = search.FindNext()) {
      names.insert(it.BaseName(nullptr));
    }
    Expect(names == std::set<std::string>{"plain.txt", "target.txt"}, i, "search listed wrong");
  }

  void Conversions(int i) const {
    const std::string utf8 = "t" + std::to_string(id) + "-" + std::to_string(i) +
                             " \xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E \xC3\xBC";
    UnicodeString text(utf8);
    std::string back;
    text.get(back);
    Expect(back == utf8, i, "UTF-8 round trip");
    Expect(text.getStringWithEncoding(kURLEncoding).find("%C3%A9%E2%82%AC") != std::string::npos, i,
           "URL encoding");
    UnicodeString decoded;
    decoded.setURLEncoding(text.getStringWithEncoding(kURLEncoding));
    Expect(decoded == text, i, "URL round trip");
    const std::string latin = "caf\xC3\xA9 " + std::to_string(i);
    const std::string roman = UnicodeString::MapUTF8ToMacRoman(latin);
    Expect(roman == "caf\x8E " + std::to_string(i), i, "to Mac OS Roman");
    Expect(UnicodeString::MapMacRomanToUTF8(roman) == latin, i, "from Mac OS Roman");
    Expect(UnicodeString::MapEncodingToUTF8(
               kISOLatin1Encoding, UnicodeString::MapUTF8ToEncoding(kISOLatin1Encoding, latin)) ==
               latin,
           i, "ISO Latin-1 round trip");
  }

  void Shortcuts(int i) const {
    Expect(ResolveAliasOrLink(dir + "/link.lnk") == target, i, "shortcut");
    Expect(ResolveAliasOrLink(dir + "/link") == target, i, "shortcut beside the name");
    Expect(ResolveAliasOrLink(dir + "/plain.txt") == dir + "/plain.txt", i, "plain file");
    Expect(OSFileExists((dir + "/plain.txt").c_str()), i, "exists");
  }

  void operator()() const {
    for (int i = 0; i < kIterations; ++i) {
      Streams(i);
      Search(i);
      Conversions(i);
      Shortcuts(i);
    }
  }
};

TEST(Threads, EachWithItsOwnStreamsSearchesConversionsAndShortcuts) {
  talqtest::TempDir tmp;
  Failures failures;
  std::vector<Worker> workers;
  for (int t = 0; t < kThreads; ++t) {
    const std::string dir = tmp / ("t" + std::to_string(t));
    std::filesystem::create_directories(tmp.Native("t" + std::to_string(t)));
    std::ofstream(tmp.Native("t" + std::to_string(t) + "/plain.txt")) << "p";
    std::ofstream(tmp.Native("t" + std::to_string(t) + "/target.txt")) << "t";
    ASSERT_TRUE(talqtest::MakeShortcut(dir + "/link.lnk", dir + "/target.txt"));
    workers.push_back({t, dir, talqtest::Resolved(dir + "/target.txt"), &failures});
  }
  std::vector<std::thread> threads;
  for (const Worker& worker : workers) threads.emplace_back(worker);
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.count, 0) << failures.first;
}

}  // namespace
