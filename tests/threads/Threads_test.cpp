// Eight threads at once, each with its own streams, conversions and shortcuts:
// what keeps per-thread state (the last error, the conversions' warm area, COM
// on Windows). A program of its own so that the ThreadSanitizer build runs it alone.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TalqOSUtils/FileSystem.h"
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

void Work(int id, const std::string& dir, const std::string& target) {
  for (int i = 0; i < kIterations; ++i) {
    std::string bytes(1000 + 37 * ((id + i) % 50), '\0');
    for (std::size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<char>(k * 31 + id + i);
    {
      ChOutputStream out;
      out.open(dir + "/data.bin");
      out.write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    }
    ChInputStream in;
    in.open(dir + "/data.bin");
    std::string back(bytes.size() + 1, '\0');
    back.resize(in.read(&back[0], static_cast<std::uint32_t>(back.size())));

    // Texts past the inline size, so that conversions use the thread's warm area.
    std::string utf8, latin;
    for (int k = 0; k < 300; ++k) utf8 += "t" + std::to_string(id + k) + " \xC3\xA9\xE2\x82\xAC";
    for (int k = 0; k < 300; ++k) latin += "caf\xC3\xA9 " + std::to_string(i + k);
    UnicodeString decoded;
    decoded.setURLEncoding(UnicodeString(utf8).getStringWithEncoding(kURLEncoding));

    const std::pair<bool, const char*> checks[] = {
        {in.size() == static_cast<std::int64_t>(bytes.size()) && back == bytes && in.eof() &&
             in.good(),
         "stream"},
        {decoded == UnicodeString(utf8), "URL round trip"},
        {UnicodeString::MapMacRomanToUTF8(UnicodeString::MapUTF8ToMacRoman(latin)) == latin,
         "Mac OS Roman round trip"},
        {ResolveAliasOrLink(dir + "/link.lnk") == target, "shortcut"},
        {ResolveAliasOrLink(dir + "/link") == target, "shortcut beside the name"},
        {ResolveAliasOrLink(dir + "/plain.txt") == dir + "/plain.txt", "plain file"}};
    const std::lock_guard<std::mutex> hold(gLock);
    for (const auto& [ok, what] : checks) {
      if (!ok) gFailures.push_back(std::to_string(id) + "/" + std::to_string(i) + ": " + what);
    }
  }
}

TEST(Threads, EachWithItsOwnStreamsConversionsAndShortcuts) {
  talqtest::TempDir tmp;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    const std::string name = "t" + std::to_string(t), dir = tmp / name;
    std::filesystem::create_directories(tmp.Native(name));
    tmp.Write(name + "/plain.txt");
    EXPECT_TRUE(talqtest::MakeShortcut(dir + "/link.lnk", tmp.Write(name + "/target.txt")));
    threads.emplace_back(Work, t, dir, talqtest::Resolved(dir + "/target.txt"));
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(gFailures.size(), 0u) << gFailures.front();
}

}  // namespace
