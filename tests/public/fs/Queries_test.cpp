// Existence tests, deletion and directory creation on real folders.
#include <cerrno>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "TalqOSUtils/FileSystem.h"
#include "gtest/gtest.h"
#include "support/FsTestSupport.h"

using namespace TalqOSUtils;
namespace stdfs = std::filesystem;

namespace {

// dir/name spelled with as many escaped bytes ("\x" for x) as it takes to be
// exactly `total` bytes long; "" when that cannot be done.
std::string Spelled(const std::string& dir, const std::string& name, std::size_t total) {
  const std::size_t plain = dir.size() + 1 + name.size();
  if (total < plain || total - plain > name.size()) return std::string();
  std::size_t escapes = total - plain;
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

TEST(FileQueries, AnswersForFileDirectoryAndMissing) {
  talqtest::TempDir tmp;
  const std::string file = tmp.Write("file.txt");
  stdfs::create_directory(tmp.Native("dir"));
  const struct {
    std::string path;
    bool exists, isDirectory;
  } rows[] = {
      {file, true, false},
      {tmp / "dir", true, true},
      {tmp / "dir/", true, true},
      {tmp / "missing", false, false},
      {tmp / "missing/deeper", false, false},
      {tmp / "file.txt/under-a-file", false, false},
      {"/", true, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    bool flag = !row.isDirectory;  // must be overwritten
    EXPECT_EQ(OSFileExists(row.path.c_str(), &flag), row.exists);
    EXPECT_EQ(flag, row.isDirectory);
    EXPECT_EQ(OSFileExists(row.path.c_str(), nullptr), row.exists);
    EXPECT_EQ(OSFileExists(row.path.c_str()), row.exists && !row.isDirectory);
    EXPECT_EQ(OSDirectoryExists(row.path.c_str()), row.exists && row.isDirectory);
  }
}

TEST(FileQueries, NullAndEmptyLeaveTheFlagAlone) {
  for (const char* path : {static_cast<const char*>(nullptr), ""}) {
    SCOPED_TRACE(path == nullptr ? "null" : "empty");
    for (bool before : {true, false}) {
      bool flag = before;
      EXPECT_FALSE(OSFileExists(path, &flag));
      EXPECT_EQ(flag, before);
    }
    EXPECT_FALSE(OSFileExists(path));
    EXPECT_FALSE(OSDirectoryExists(path));
    EXPECT_FALSE(OSDeleteFile(path));
    EXPECT_FALSE(OSMakeDirectory(path));
  }
}

// 255 bytes as written are handed to the OS; 256 are refused even though
// their NT form (escapes removed) would be much shorter.
TEST(FileQueries, TheLimitIs255BytesAsWritten) {
  talqtest::TempDir tmp;
  const std::string name(150, 'n');
  tmp.Write(name);
  stdfs::create_directory(tmp.Native("d"));
  const std::string at255 = Spelled(tmp.Generic(), name, 255);
  const std::string at256 = Spelled(tmp.Generic(), name, 256);
  ASSERT_EQ(at255.size(), 255u);
  ASSERT_EQ(at256.size(), 256u);
  bool flag = true;
  EXPECT_TRUE(OSFileExists(at255.c_str(), &flag));
  EXPECT_FALSE(flag);
  EXPECT_TRUE(OSFileExists(at255.c_str()));
  flag = true;
  EXPECT_FALSE(OSFileExists(at256.c_str(), &flag));
  EXPECT_TRUE(flag) << "a refused path must not write the flag";
  EXPECT_FALSE(OSFileExists(at256.c_str()));

  const std::string dir255 = Spelled(tmp / "d", std::string(150, 'm'), 255);
  const std::string dir256 = Spelled(tmp / "d", std::string(150, 'k'), 256);
  ASSERT_FALSE(dir255.empty());
  ASSERT_FALSE(dir256.empty());
  EXPECT_FALSE(OSMakeDirectory(dir256.c_str()));
  EXPECT_FALSE(stdfs::exists(tmp.Native("d/" + std::string(150, 'k'))));
  EXPECT_TRUE(OSMakeDirectory(dir255.c_str()));
  EXPECT_TRUE(stdfs::is_directory(tmp.Native("d/" + std::string(150, 'm'))));
  EXPECT_TRUE(OSDirectoryExists(dir255.c_str()));

  EXPECT_FALSE(OSDeleteFile(at256.c_str()));
  EXPECT_TRUE(stdfs::exists(tmp.Native(name)));
  EXPECT_TRUE(OSDeleteFile(at255.c_str()));
  EXPECT_FALSE(stdfs::exists(tmp.Native(name)));
}

TEST(FileQueries, DeleteFileLeavesErrnoAtZero) {
  talqtest::TempDir tmp;
  const std::string file = tmp.Write("gone.txt");
  stdfs::create_directory(tmp.Native("dir"));
  const struct {
    std::string path;
    bool deleted;
  } rows[] = {
      {file, true},
      {file, false},  // already gone
      {tmp / "dir", false},
      {tmp / "no/such/file", false},
      {std::string(300, 'a'), false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    errno = EINVAL;
    EXPECT_EQ(OSDeleteFile(row.path.c_str()), row.deleted);
    EXPECT_EQ(errno, 0);
  }
  EXPECT_TRUE(stdfs::is_directory(tmp.Native("dir")));
}

TEST(MakeDirectory, CreatesADeepChainOnce) {
  talqtest::TempDir tmp;
  const std::string deep = tmp / "a/b/c/d/e";
  EXPECT_TRUE(OSMakeDirectory(deep.c_str()));
  EXPECT_TRUE(stdfs::is_directory(tmp.Native("a/b/c/d/e")));
  EXPECT_TRUE(OSMakeDirectory(deep.c_str()));
  EXPECT_TRUE(OSMakeDirectory((tmp / "a/b/x/").c_str())) << "trailing slash";
  EXPECT_TRUE(stdfs::is_directory(tmp.Native("a/b/x")));
  EXPECT_TRUE(OSMakeDirectory(tmp.Generic().c_str()));
}

TEST(MakeDirectory, StopsAtFilesAndAtTheRoot) {
  talqtest::TempDir tmp;
  const std::string file = tmp.Write("file");
  EXPECT_FALSE(OSMakeDirectory(file.c_str())) << "a file of that name";
  EXPECT_FALSE(OSMakeDirectory((tmp / "file/sub/deeper").c_str())) << "a parent is a file";
  EXPECT_TRUE(stdfs::is_regular_file(tmp.Native("file")));
  EXPECT_FALSE(OSMakeDirectory("/"));
  // Directly below the root: reported, never created.
  EXPECT_FALSE(OSMakeDirectory("/talq-fs-never-created-7d1c"));
  EXPECT_FALSE(OSDirectoryExists("/talq-fs-never-created-7d1c"));
  EXPECT_FALSE(OSMakeDirectory("/talq-fs-never-created-7d1c/sub"));
  EXPECT_FALSE(OSDirectoryExists("/talq-fs-never-created-7d1c"));
  EXPECT_TRUE(OSMakeDirectory("/C:")) << "the current drive exists";
  EXPECT_TRUE(OSMakeDirectory(".")) << "the current directory";
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
    EXPECT_TRUE(OSDirectoryExists(chain.c_str()));
  }
}

}  // namespace
