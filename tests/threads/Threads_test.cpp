// Eight threads at once, each with its own streams, conversions and shortcuts:
// what keeps per-thread state (the last error, the conversions' warm area, COM
// on Windows). A program of its own so that the ThreadSanitizer build runs it alone.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "TalqOSUtils/FileSystem.h"
#include "TalqOSUtils/Streams.h"
#include "TalqOSUtils/UnicodeString.h"
#include "support/FsTestSupport.h"

using namespace TalqOSUtils;  // NOLINT(google-build-using-namespace)

namespace {

// ThreadSanitizer judges by happens-before, not by luck: a few rounds do (under Wine each is slow).
constexpr int kIterations = 50;

// The first check that fails, as "iteration: what", or "".
std::string Work(int id, const std::string& dir, const std::string& target) {
  for (int i = 0; i < kIterations; ++i) {
    // A text past the inline size, so that conversions use the thread's warm area.
    std::string text;
    for (int k = 0; k < 300 + (id + i) % 50; ++k)
      text += std::to_string(i + k) + " \xC3\xA9\xE2\x82\xAC";
    {
      ChOutputStream out;
      out.open(dir + "/data.bin");
      out.write(text);
    }
    ChInputStream in;
    in.open(dir + "/data.bin");
    std::string back(text.size() + 1, '\0');
    back.resize(in.read(&back[0], static_cast<std::uint32_t>(back.size())));
    UnicodeString decoded;
    decoded.setURLEncoding(UnicodeString(text).getStringWithEncoding(kURLEncoding));
    const char* const failed =
        !(in.size() == static_cast<std::int64_t>(text.size()) && back == text && in.eof() &&
          in.good())
            ? "stream"
        : !(decoded == UnicodeString(text)) ? "URL round trip"
        : UnicodeString::MapMacRomanToUTF8(UnicodeString::MapUTF8ToMacRoman(text)) != text
            ? "Mac OS Roman round trip"
        : ResolveAliasOrLink(dir + "/link.lnk") != target              ? "shortcut"
        : ResolveAliasOrLink(dir + "/link") != target                  ? "shortcut beside the name"
        : ResolveAliasOrLink(dir + "/plain.txt") != dir + "/plain.txt" ? "plain file"
                                                                       : nullptr;
    if (failed != nullptr) return std::to_string(i) + ": " + failed;
  }
  return "";
}

TEST(Threads, EachWithItsOwnStreamsConversionsAndShortcuts) {
  talqtest::TempDir tmp;
  std::vector<std::string> failures(8);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    const std::string name = "t" + std::to_string(t), dir = tmp / name;
    std::filesystem::create_directories(tmp.Native(name));
    tmp.Write(name + "/plain.txt");
    EXPECT_TRUE(talqtest::MakeShortcut(dir + "/link.lnk", tmp.Write(name + "/target.txt")));
    const std::string target = talqtest::Resolved(dir + "/target.txt");
    threads.emplace_back([&failures, t, dir, target] { failures[t] = Work(t, dir, target); });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < 8; ++t) EXPECT_EQ(failures[t], "") << "thread " << t;
}

}  // namespace
