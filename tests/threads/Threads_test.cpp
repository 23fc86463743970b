// Eight threads at once, each with its own streams, searches, conversions and
// shortcuts; a program of its own so that the ThreadSanitizer build runs it alone.
#include <gtest/gtest.h>

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

#if defined(_WIN32)
constexpr int kIterations = 50;  // every call crosses Wine
#else
constexpr int kIterations = 200;
#endif

std::mutex gLock;
std::vector<std::string> gFailures;

bool IsTxt(const ChFindFileIterator& entry) {
  const std::string name = entry.BaseName(nullptr);
  return name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0;
}

void Work(int id, const std::string& dir, const std::string& target) {
  for (int i = 0; i < kIterations; ++i) {
    const auto expect = [&](bool ok, const char* what) {
      const std::lock_guard<std::mutex> hold(gLock);
      if (!ok) gFailures.push_back(std::to_string(id) + "/" + std::to_string(i) + ": " + what);
    };
    std::string bytes(1000 + 37 * ((id + i) % 50), '\0');
    for (std::size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<char>(k * 31 + id + i);
    {
      ChOutputStream out;
      out.open(dir + "/data.bin");
      out.write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
      expect(out.good(), "write failed");
    }
    ChInputStream in;
    in.open(dir + "/data.bin");
    expect(in.size() == static_cast<std::int64_t>(bytes.size()), "size");
    std::string back(bytes.size() + 1, '\0');
    back.resize(in.read(&back[0], static_cast<std::uint32_t>(back.size())));
    expect(back == bytes, "read back other bytes");
    expect(in.eof() && in.good(), "no clean end of file");

    ChFindFile search(dir.c_str());
    search.SetFilter(&IsTxt);
    std::set<std::string> names;
    for (ChFindFileIterator it = search.FindFirst(); it.IsValid(); it = search.FindNext()) {
      names.insert(it.BaseName(nullptr));
    }
    expect(names == std::set<std::string>{"plain.txt", "target.txt"}, "search listed wrong");

    const std::string utf8 = "t" + std::to_string(id) + " \xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E";
    UnicodeString decoded;
    decoded.setURLEncoding(UnicodeString(utf8).getStringWithEncoding(kURLEncoding));
    expect(decoded == UnicodeString(utf8), "URL round trip");
    const std::string latin = "caf\xC3\xA9 " + std::to_string(i);
    expect(UnicodeString::MapMacRomanToUTF8(UnicodeString::MapUTF8ToMacRoman(latin)) == latin,
           "Mac OS Roman round trip");

    expect(ResolveAliasOrLink(dir + "/link.lnk") == target, "shortcut");
    expect(ResolveAliasOrLink(dir + "/link") == target, "shortcut beside the name");
    expect(ResolveAliasOrLink(dir + "/plain.txt") == dir + "/plain.txt", "plain file");
  }
}

TEST(Threads, EachWithItsOwnStreamsSearchesConversionsAndShortcuts) {
  talqtest::TempDir tmp;
  for (int t = 0; t < 8; ++t) {
    const std::string name = "t" + std::to_string(t);
    std::filesystem::create_directories(tmp.Native(name));
    std::ofstream(tmp.Native(name + "/plain.txt")) << "p";
    std::ofstream(tmp.Native(name + "/target.txt")) << "t";
    ASSERT_TRUE(talqtest::MakeShortcut(tmp / name + "/link.lnk", tmp / name + "/target.txt"));
  }
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    const std::string dir = tmp / ("t" + std::to_string(t));
    threads.emplace_back(Work, t, dir, talqtest::Resolved(dir + "/target.txt"));
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(gFailures.size(), 0u) << gFailures.front();
}

}  // namespace
