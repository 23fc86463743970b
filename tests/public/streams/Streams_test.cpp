// The file streams through the public interface, on files in a temporary
// folder: check functions, reading, writing, positions, resource forks, large
// files and shared copies.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/Streams.h"
#include "support/StreamTestSupport.h"
#include "support/TestSupport.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

using namespace TalqOSUtils;  // NOLINT(google-build-using-namespace)
using streamtest::ReadAll;
using streamtest::WriteAll;

constexpr int kFileNotFound = 2;
constexpr int kNegativeSeek = 131;

// Records at which transfer (the test's count) the check function ran.
struct Probe {
  int transfers = 0;
  std::vector<int> calledAt;
  int result = 0;
};
int ProbeFn(void* data) {
  auto* probe = static_cast<Probe*>(data);
  probe->calledAt.push_back(probe->transfers);
  return probe->result;
}

class Streams : public ::testing::Test {
 protected:
  void TearDown() override {
    SetDefaultInputCheckFn(nullptr, nullptr);
    SetDefaultOutputCheckFn(nullptr, nullptr);
  }
  std::string MakeFile(const std::string& name, const std::string& bytes) {
    WriteAll(dir.Native(name), bytes);
    return dir.Generic(name);
  }
  streamtest::TempDir dir;
};

TEST_F(Streams, NewStreamsHoldNoFileAndTakeTheDefaultCheckPair) {
  int data = 0;
  void* got = &got;
  ChInputStream before;
  SetDefaultInputCheckFn(&ProbeFn, &data);
  ChInputStream in;
  ChOutputStream out(5);
  EXPECT_EQ(before.getcheckfn(&got), nullptr) << "an existing stream changed";
  EXPECT_EQ(in.getcheckfn(&got), &ProbeFn);
  EXPECT_EQ(got, &data);
  EXPECT_EQ(out.getcheckfn(&got), nullptr) << "an output stream took the input pair";
  SetDefaultOutputCheckFn(&ProbeFn, &data);
  EXPECT_EQ(ChOutputStream().getcheckfn(&got), &ProbeFn);
  EXPECT_FALSE(in.isopen());
  EXPECT_FALSE(in.good());
  EXPECT_TRUE(in.eof());
  EXPECT_EQ(in.percent(), 0);
  char buf[4];
  EXPECT_EQ(in.read(buf, 4), 0u);
  out.write("abc");
  EXPECT_EQ(out.error(), 0);
  EXPECT_FALSE(out.good());
}

// Both streams run the same check step; each row transfers through one kind.
class Transfer {
 public:
  Transfer(bool output, const std::string& path) : mOutput(output), mBuf(2u << 20, 'x') {
    if (output) {
      mOut.open(path);
    } else {
      mIn.open(path);
    }
  }
  ChIOStream& Stream() { return mOutput ? static_cast<ChIOStream&>(mOut) : mIn; }
  std::uint32_t Run(std::uint32_t n) {  // bytes read, or n once written
    if (!mOutput) return mIn.read(mBuf.data(), n);
    mOut.write(mBuf.data(), n);
    return mOut.good() ? n : 0;
  }

 private:
  bool mOutput;
  std::vector<char> mBuf;
  ChInputStream mIn;
  ChOutputStream mOut;
};

TEST_F(Streams, CheckFunctionRunsOnceMoreThanAMebibyteWasRequested) {
  for (const bool output : {false, true}) {
    SCOPED_TRACE(output ? "output" : "input");
    Transfer t(output, MakeFile("f", ""));
    Probe probe;
    t.Stream().setcheckfn(&ProbeFn, &probe);
    for (probe.transfers = 1; probe.transfers <= 11; ++probe.transfers) t.Run(600000);
    EXPECT_EQ(probe.calledAt, (std::vector<int>{3, 6, 9}));
    // Switched off, nothing counts, and the count stays (1,200,000).
    t.Stream().setcheckfn(nullptr, nullptr);
    t.Run(600000);
    t.Stream().setcheckfn(&ProbeFn, &probe);
    t.Run(1);
    EXPECT_EQ(probe.calledAt, (std::vector<int>{3, 6, 9, 12}));
    EXPECT_TRUE(t.Stream().good());
  }
}

TEST_F(Streams, CancellingResultStopsTransfersUntilAZeroResult) {
  for (const bool output : {false, true}) {
    SCOPED_TRACE(output ? "output" : "input");
    Transfer t(output, MakeFile("f", "0123456789"));
    Probe probe;
    probe.result = 7;
    t.Stream().setcheckfn(&ProbeFn, &probe);
    t.Run(1u << 20);
    t.Run(1);  // count 1 MiB + 1: no call yet
    EXPECT_TRUE(probe.calledAt.empty());
    EXPECT_EQ(t.Run(4), 0u) << "the cancelled call transferred";
    EXPECT_EQ(t.Stream().error(), 7);
    EXPECT_TRUE(t.Stream().isopen());
    EXPECT_EQ(t.Stream().getpos(), 0) << "a position in error";
    EXPECT_EQ(t.Run(2u << 20), 0u);  // counts, transfers nothing
    probe.result = 0;
    t.Run(4);
    EXPECT_TRUE(t.Stream().good()) << "a zero result clears the error";
    EXPECT_EQ(probe.calledAt.size(), 2u);
  }
}

TEST_F(Streams, ReadsInBlocksUntilTheEnd) {
  ChInputStream in;
  in.open(MakeFile("eleven", "abcdefghijk"));
  ASSERT_TRUE(in.isopen());
  EXPECT_EQ(in.size(), 11);
  char buf[4];
  const std::uint32_t expected[] = {4, 4, 3, 0};  // the short one by 1
  const bool eofAfter[] = {false, false, true, true};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(in.read(buf, 4), expected[i]) << "read " << i;
    EXPECT_EQ(in.eof(), eofAfter[i]) << "read " << i;
  }
  EXPECT_TRUE(in.good());
  in.skip(-3);
  EXPECT_EQ(in.getpos(), 8);
  EXPECT_FALSE(in.eof()) << "a successful seek clears eof";
  EXPECT_EQ(in.read(buf, 3), 3u);
  EXPECT_EQ(std::string(buf, 3), "ijk");
  EXPECT_FALSE(in.eof()) << "a full read leaves eof as it was";
  in.seek(20);
  EXPECT_EQ(in.getpos(), 20);
  EXPECT_EQ(in.read(buf, 1), 0u);
  EXPECT_TRUE(in.eof()) << "past the end";
  EXPECT_TRUE(in.good());
}

TEST_F(Streams, PercentIsTruncatedDoubleArithmetic) {
  struct Row {
    std::size_t size;
    std::int64_t pos;
    int percent;
  } rows[] = {{0, 0, 100},   {3, 0, 0},   {3, 1, 33},
              {3, 2, 66},    {3, 3, 100}, {100, 29, 28},  // 0.29 * 100.0 falls just below 29
              {100, 50, 50}, {3, 6, 200}, {1, 1000, 100000}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.size) + " bytes at " + std::to_string(row.pos));
    ChInputStream in;
    in.open(MakeFile("p", std::string(row.size, 'x')));
    in.seek(row.pos);
    EXPECT_EQ(in.percent(), row.percent);
  }
}

// Positions whose low 32 bits are all ones are the seek call's failure value
// too: the valid ones must succeed, the negative ones fail and stop transfers.
TEST_F(Streams, SeekJudgesEveryPosition) {
  struct Row {
    std::int64_t pos;
    int error;
  } rows[] = {{0xFFFFFFFFLL, 0},
              {0x1FFFFFFFFLL, 0},
              {-1, kNegativeSeek},
              {-0x100000000LL, kNegativeSeek},
              {-0x100000001LL, kNegativeSeek},
              {INT64_MIN, kNegativeSeek}};
  const std::string path = MakeFile("f", "abc");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.pos);
    ChInputStream in;
    in.open(path);
    ChOutputStream out;
    out.open(dir.Generic("out"));
    in.seek(row.pos);
    out.seek(row.pos);
    EXPECT_EQ(in.error(), row.error);
    EXPECT_EQ(out.error(), row.error);
    EXPECT_EQ(in.getpos(), row.error == 0 ? row.pos : 0);
    EXPECT_EQ(out.getpos(), row.error == 0 ? row.pos : 0);
    if (row.error == 0) continue;
    in.seek(0);  // in error: does nothing
    char c;
    EXPECT_EQ(in.read(&c, 1), 0u);
    out.write("x");
    EXPECT_EQ(ReadAll(dir.Native("out")), "") << "a write ran on a stream in error";
  }
}

TEST_F(Streams, PrintfFitsUpTo1023Characters) {
  ChOutputStream out;
  out.open(dir.Generic("p"));
  out.printf("%d-%s|", 42, "ok");
  out.printf("%s", std::string(1023, 'a').c_str());
  talqtest::ExpectThrowWhat<ChException>([&] { out.printf("%s", std::string(1024, 'b').c_str()); },
                                         "Buffer overflow in ChOutputStream::printf");
  EXPECT_THROW(out.printf(nullptr), ChException);
  out.close();
  EXPECT_EQ(ReadAll(dir.Native("p")), "42-ok|" + std::string(1023, 'a'));
}

TEST_F(Streams, PathsOf256BytesThrowAndKeepTheHeldFile) {
  const std::string base = dir.Generic() + "/";
  ASSERT_LT(base.size(), 200u);
  const std::string fits = base + std::string(255 - base.size(), 'n');
  ChOutputStream out;
  out.open(fits);
  EXPECT_TRUE(out.isopen()) << "255 bytes must open";
  talqtest::ExpectThrowWhat<ChException>([&] { out.open(fits + "m"); },
                                         "ChOutputStream: path too long");
  out.write("kept");
  out.close();
  ChInputStream in;
  EXPECT_THROW(in.openFork(fits + "m", true), ChException);
  in.open(fits);
  char buf[8];
  EXPECT_EQ(in.read(buf, 8), 4u) << "the held file was lost";
}

TEST_F(Streams, ForkIsBesideTheDataElseTheCompanionFile) {
  const std::string path = MakeFile("doc", "data bytes");
  ChOutputStream out;
  out.openFork(path, true);
  out.write("fork bytes!");
  out.close();
  ChInputStream in;
  in.openFork(path, true);
  char buf[16];
  EXPECT_EQ(in.read(buf, 16), 11u);
  EXPECT_EQ(std::string(buf, 11), "fork bytes!");
  in.open(path);
  EXPECT_EQ(in.read(buf, 16), 10u) << "the fork overwrote the data";

  const std::string companion("\0\5\26\7companion", 13);
  const std::string report = MakeFile("report", "data");
  WriteAll(dir.Native("._report"), companion);
  in.openFork(report, true);
  EXPECT_EQ(in.read(buf, 16), 13u);
  EXPECT_EQ(std::string(buf, 13), companion);
  in.openFork(dir.Generic("nothing"), true);
  EXPECT_EQ(in.error(), kFileNotFound);
}

TEST_F(Streams, FilesOf4GiBAndMoreAreBig) {  // sparse
  const std::pair<std::int64_t, bool> rows[] = {
      {4294967295LL, false}, {4294967296LL, true}, {5000000000LL, true}};
  for (const auto& [size, big] : rows) {
    SCOPED_TRACE(size);
    {
      ChOutputStream out;
      out.open(dir.Generic("big"));
      out.seek(size - 1);
      out.write("Z");
      ASSERT_TRUE(out.good()) << "error " << out.error();
    }
    ChInputStream in;
    in.open(dir.Generic("big"));
    EXPECT_EQ(in.size(), size);
    EXPECT_EQ(in.isbig(), big);
    in.seek(size - 1);
    EXPECT_EQ(in.getpos(), size - 1);
    char c = 0;
    EXPECT_EQ(in.read(&c, 2), 1u);
    EXPECT_EQ(c, 'Z');
    in.seek(size / 10 * 9);
    EXPECT_EQ(in.percent(), 89 + (size % 10 == 0 ? 1 : 0));
  }
}

TEST_F(Streams, CopiesShareOneFileAndPosition) {
  const std::string path = MakeFile("f", "abcdef");
  auto* source = new ChInputStream;
  source->open(path);
  ChInputStream copy(*source);
  ChInputStream assigned;
  assigned.open(MakeFile("g", "XYZ"));
  assigned = *source;
  const ChInputStream& self = assigned;
  assigned = self;
  char c = 0;
  for (ChInputStream* s : {source, &copy, &assigned}) s->read(&c, 1);
  EXPECT_EQ(c, 'c') << "copies share the position";
  delete source;
  copy.close();
  EXPECT_EQ(assigned.read(&c, 1), 1u);
  EXPECT_EQ(c, 'd') << "the last sharer lost the file";
  // The shared error stops the other sharer at its next transfer.
  ChInputStream other(assigned);
  assigned.seek(-1);
  EXPECT_EQ(other.read(&c, 1), 0u);
  EXPECT_EQ(other.error(), kNegativeSeek);
}

#if defined(_WIN32)
// Wine gives real share modes; POSIX has none.
TEST_F(Streams, ShareModesFollowWindows) {
  const std::string path = MakeFile("shared", "0123456789");
  ChInputStream first;
  first.open(path);
  ChOutputStream writer;  // readers share writing
  writer.open(path);
  EXPECT_TRUE(writer.isopen()) << "error " << writer.error();
  ChInputStream second;  // and a writer shares reading
  second.open(path);
  EXPECT_TRUE(second.isopen()) << "error " << second.error();
  writer.open(path);  // our own handle is let go first
  EXPECT_TRUE(writer.isopen()) << "error " << writer.error();
  writer.close();
  const HANDLE holder = ::CreateFileW(dir.Native("shared").wstring().c_str(), GENERIC_READ,
                                      FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  writer.open(path);
  EXPECT_EQ(writer.error(), 32) << "a reader that refuses writers";
  ::CloseHandle(holder);
}
#endif

}  // namespace
