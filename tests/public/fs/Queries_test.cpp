// Existence tests, deletion and directory creation on real folders.
#include <cerrno>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>

#include "TalqOSUtils/FileSystem.h"
#include "gtest/gtest.h"
#include "support/FsTestSupport.h"

using namespace TalqOSUtils;
namespace stdfs = std::filesystem;

namespace {

// dir/name spelled with as many escaped bytes ("\x" for x) as it takes to be
// exactly `total` bytes long.
std::string Spelled(const std::string& dir, const std::string& name, std::size_t total) {
  std::size_t escapes = total - (dir.size() + 1 + name.size());
  std::string out = dir + "/";
  for (char c : name) {
    if (escapes > 0) {
      out += '\\';
      --escapes;
    }
    out += c;
  }
  return out;
}

TEST(FileQueries, AnswersForFileDirectoryMissingNullAndEmpty) {
  talqtest::TempDir tmp;
  const std::string file = tmp.Write("file.txt");
  stdfs::create_directory(tmp.Native("dir"));
  const struct {
    std::string path;
    bool exists, isDirectory;
  } rows[] = {
      {file, true, false},
      {tmp / "dir/", true, true},
      {tmp / "missing", false, false},
      {tmp / "file.txt/under-a-file", false, false},
      {"/", true, true},
      {"", false, false},  // refused before any query: the flag is left alone
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    bool flag = !row.isDirectory;
    EXPECT_EQ(OSFileExists(row.path.c_str(), &flag), row.exists);
    EXPECT_EQ(flag, row.path.empty() ? !row.isDirectory : row.isDirectory);
    EXPECT_EQ(OSFileExists(row.path.c_str()), row.exists && !row.isDirectory);
    EXPECT_EQ(OSDirectoryExists(row.path.c_str()), row.exists && row.isDirectory);
  }
  // Deletion answers and leaves errno at zero whatever happens.
  const std::pair<std::string, bool> deletions[] = {{file, true},
                                                    {file, false},  // already gone
                                                    {tmp / "dir", false},
                                                    {tmp / "no/such/file", false},
                                                    {std::string(300, 'a'), false}};
  for (const auto& [path, deleted] : deletions) {
    SCOPED_TRACE(path);
    errno = EINVAL;
    EXPECT_EQ(OSDeleteFile(path.c_str()), deleted);
    EXPECT_EQ(errno, 0);
  }
  EXPECT_TRUE(stdfs::is_directory(tmp.Native("dir")));
  bool flag = true;
  EXPECT_FALSE(OSFileExists(nullptr, &flag));
  EXPECT_TRUE(flag);
  EXPECT_FALSE(OSDeleteFile(nullptr));
  EXPECT_FALSE(OSMakeDirectory(nullptr));
  EXPECT_FALSE(OSMakeDirectory(""));
}

// 255 bytes as written are handed to the OS; 256 are refused even though
// their NT form (escapes removed) would be much shorter.
TEST(FileQueries, TheLimitIs255BytesAsWritten) {
  talqtest::TempDir tmp;
  const std::string name(150, 'n');
  tmp.Write(name);
  for (const std::size_t length : {256u, 255u}) {  // the refused first: 255 deletes
    SCOPED_TRACE(length);
    const bool fits = length == 255;
    const std::string path = Spelled(tmp.Generic(), name, length);
    const std::string deep =
        Spelled(tmp / ("d" + std::to_string(length)), std::string(150, 'm'), length);
    ASSERT_EQ(path.size(), length);
    ASSERT_EQ(deep.size(), length);
    bool flag = true;
    EXPECT_EQ(OSFileExists(path.c_str(), &flag), fits);
    EXPECT_EQ(flag, !fits) << "a refused path must not write the flag";
    EXPECT_EQ(OSMakeDirectory(deep.c_str()), fits);
    EXPECT_EQ(OSDirectoryExists(deep.c_str()), fits);
    EXPECT_EQ(stdfs::exists(tmp.Native("d" + std::to_string(length))), fits);
    EXPECT_EQ(OSDeleteFile(path.c_str()), fits);
    EXPECT_EQ(stdfs::exists(tmp.Native(name)), !fits);
  }
}

TEST(MakeDirectory, MakesChainsStopsAtFilesAndAtTheRoot) {
  talqtest::TempDir tmp;
  tmp.Write("file");
  const char* const kNever = "/talq-fs-never-created-7d1c";
  const struct {
    std::string path;
    bool made;
    bool directoryAfter;
  } rows[] = {
      {tmp / "a/b/c/d/e", true, true},
      {tmp / "a/b/c/d/e", true, true},  // again: already there
      {tmp / "a/b/x/", true, true},
      {tmp.Generic(), true, true},
      {tmp / "file", false, false},
      {tmp / "file/sub/deeper", false, false},
      {"/", false, true},
      {kNever, false, false},  // directly below the root: reported, never made
      {std::string(kNever) + "/sub", false, false},
      {"/C:", true, true},  // the current drive
      {".", true, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(OSMakeDirectory(row.path.c_str()), row.made);
    EXPECT_EQ(OSDirectoryExists(row.path.c_str()), row.directoryAfter);
  }
  EXPECT_TRUE(stdfs::is_regular_file(tmp.Native("file")));
}

// Two threads creating the same chain: whichever loses a creation race
// finds the directory made by the other and still answers true.
TEST(MakeDirectory, ThreadsRacingOnOneChainBothSucceed) {
  talqtest::TempDir tmp;
  for (int round = 0; round < 25; ++round) {
    SCOPED_TRACE(round);
    const std::string chain = tmp / ("r" + std::to_string(round) + "/a/b/c/d/e/f/g/h");
    bool results[2] = {false, false};
    std::thread first([&] { results[0] = OSMakeDirectory(chain.c_str()); });
    std::thread second([&] { results[1] = OSMakeDirectory(chain.c_str()); });
    first.join();
    second.join();
    EXPECT_TRUE(results[0]);
    EXPECT_TRUE(results[1]);
  }
}

}  // namespace
