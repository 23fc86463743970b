// The file streams through the public interface, on files in a temporary
// folder: check functions, reading, writing, positions, resource forks, large
// files and shared copies.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/Streams.h"
#include "support/StreamTestSupport.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace {

using namespace TalqOSUtils;  // NOLINT(google-build-using-namespace)
using streamtest::ReadAll;
using streamtest::TempDir;
using streamtest::WriteAll;

constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kSharingViolation = 32;
constexpr int kNegativeSeek = 131;

// A check function that records at which transfer it was called and returns
// `result`.
struct Probe {
  int transfers = 0;  // bumped by the test before each transfer
  std::vector<int> calledAt;
  int result = 0;
};
int ProbeFn(void* data) {
  auto* probe = static_cast<Probe*>(data);
  probe->calledAt.push_back(probe->transfers);
  return probe->result;
}
int OtherFn(void* /*data*/) { return 0; }

// Restores the process-wide defaults whatever a test did.
struct DefaultsGuard {
  ~DefaultsGuard() {
    SetDefaultInputCheckFn(nullptr, nullptr);
    SetDefaultOutputCheckFn(nullptr, nullptr);
  }
};

class Streams : public ::testing::Test {
 protected:
  TempDir dir;
  std::string MakeFile(const std::string& name, const std::string& bytes) {
    WriteAll(dir.Native(name), bytes);
    return dir.Generic(name);
  }
};

// ---------------------------------------------------------------------------
// New streams and check functions

TEST_F(Streams, NewStreamsHoldNoFile) {
  ChInputStream in;
  EXPECT_FALSE(in.isopen());
  EXPECT_FALSE(in.good());
  EXPECT_TRUE(in.eof());
  EXPECT_EQ(in.size(), 0);
  EXPECT_FALSE(in.isbig());
  EXPECT_EQ(in.percent(), 0);
  EXPECT_EQ(in.getpos(), 0);
  char buf[4];
  EXPECT_EQ(in.read(buf, 4), 0u);
  in.seek(3);
  EXPECT_EQ(in.error(), 0);
  EXPECT_STREQ(in.name(), "");

  ChOutputStream out(5);  // the argument has no effect
  EXPECT_FALSE(out.isopen());
  EXPECT_FALSE(out.good());
  out.write("abc");
  out.seek(3);
  EXPECT_EQ(out.error(), 0);
  EXPECT_EQ(out.getpos(), 0);
  EXPECT_STREQ(out.name(), "");
}

TEST_F(Streams, DefaultCheckPairsAreTakenAtConstruction) {
  DefaultsGuard restore;
  int inputData = 0, outputData = 0;
  void* data = &data;
  ChInputStream before;
  SetDefaultInputCheckFn(&ProbeFn, &inputData);
  EXPECT_EQ(before.getcheckfn(&data), nullptr) << "an existing stream changed";
  EXPECT_EQ(data, nullptr);

  ChInputStream after;
  EXPECT_EQ(after.getcheckfn(&data), &ProbeFn);
  EXPECT_EQ(data, &inputData);
  ChOutputStream output;
  EXPECT_EQ(output.getcheckfn(&data), nullptr) << "an output stream took the input pair";

  SetDefaultOutputCheckFn(&OtherFn, &outputData);
  ChOutputStream output2;
  EXPECT_EQ(output2.getcheckfn(&data), &OtherFn);
  EXPECT_EQ(data, &outputData);

  // A copy takes its source's pair, not the default.
  SetDefaultInputCheckFn(nullptr, nullptr);
  ChInputStream copy(after);
  EXPECT_EQ(copy.getcheckfn(&data), &ProbeFn);
  EXPECT_EQ(data, &inputData);
}

// Both streams run the same check step; each row transfers through one kind.
struct Kind {
  const char* name;
  bool output;
};
const Kind kKinds[] = {{"input", false}, {"output", true}};

class Transfer {
 public:
  Transfer(const Kind& kind, const std::string& path) : mKind(kind), mBuf(2u << 20, 'x') {
    if (kind.output) {
      mOut.open(path);
    } else {
      mIn.open(path);
    }
  }
  ChIOStream& Stream() { return mKind.output ? static_cast<ChIOStream&>(mOut) : mIn; }
  // Requests n bytes; returns the bytes read (input) or n (output, when good).
  std::uint32_t Run(std::uint32_t n) {
    if (!mKind.output) return mIn.read(mBuf.data(), n);
    mOut.write(mBuf.data(), n);
    return mOut.good() ? n : 0;
  }

 private:
  Kind mKind;
  std::vector<char> mBuf;
  ChInputStream mIn;
  ChOutputStream mOut;
};

TEST_F(Streams, CheckFunctionRunsAfterEachMebibyteRequested) {
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    Transfer t(kind, MakeFile(kind.name, ""));
    Probe probe;
    t.Stream().setcheckfn(&ProbeFn, &probe);
    for (probe.transfers = 1; probe.transfers <= 10; ++probe.transfers) t.Run(600000);
    EXPECT_EQ(probe.calledAt, (std::vector<int>{3, 6, 9}));
    EXPECT_TRUE(t.Stream().good());
  }
}

TEST_F(Streams, CheckCountSurvivesSwitchingTheFunctionOff) {
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    Transfer t(kind, MakeFile(kind.name, ""));
    Probe probe;
    t.Stream().setcheckfn(&ProbeFn, &probe);
    probe.transfers = 1;
    t.Run(600000);
    probe.transfers = 2;
    t.Run(600000);  // count 1,200,000
    t.Stream().setcheckfn(nullptr, nullptr);
    probe.transfers = 3;
    t.Run(600000);  // not counted
    t.Stream().setcheckfn(&ProbeFn, &probe);
    probe.transfers = 4;
    t.Run(1);
    EXPECT_EQ(probe.calledAt, (std::vector<int>{4}));
  }
}

TEST_F(Streams, OneLargeRequestCountsOnceAndTheNextCallChecks) {
  const std::string path = MakeFile("f", "");
  ChInputStream in;
  in.open(path);
  Probe probe;
  in.setcheckfn(&ProbeFn, &probe);
  std::vector<char> buf(10u << 20);
  probe.transfers = 1;
  in.read(buf.data(), static_cast<std::uint32_t>(buf.size()));
  EXPECT_TRUE(probe.calledAt.empty());
  probe.transfers = 2;
  in.read(buf.data(), 1);
  EXPECT_EQ(probe.calledAt, (std::vector<int>{2}));
}

TEST_F(Streams, CancellingResultStopsTransfersUntilAZeroResult) {
  const std::string content = "0123456789";
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    const std::string path = MakeFile(kind.name, content);
    Transfer t(kind, path);
    Probe probe;
    probe.result = 7;
    t.Stream().setcheckfn(&ProbeFn, &probe);
    EXPECT_EQ(t.Run(1u << 20), kind.output ? (1u << 20) : 10u);
    t.Run(1);  // count 1 MiB + 1: still no call
    EXPECT_TRUE(probe.calledAt.empty());
    EXPECT_EQ(t.Run(4), 0u) << "the cancelled call transferred";
    EXPECT_EQ(probe.calledAt.size(), 1u);
    EXPECT_EQ(t.Stream().error(), 7);
    EXPECT_FALSE(t.Stream().good());
    EXPECT_TRUE(t.Stream().isopen());
    EXPECT_EQ(t.Stream().getpos(), 0) << "a position in error";
    EXPECT_EQ(t.Run(2u << 20), 0u);  // counts, transfers nothing
    probe.result = 0;
    t.Stream().seek(0);  // in error: does nothing
    if (!kind.output) {
      EXPECT_EQ(t.Run(4), 0u) << "the check resumes, but the reader is at the end";
      EXPECT_TRUE(t.Stream().good());
      t.Stream().seek(2);
      char c = 0;
      EXPECT_EQ(static_cast<ChInputStream&>(t.Stream()).read(&c, 1), 1u);
      EXPECT_EQ(c, '2');
    } else {
      EXPECT_EQ(t.Run(4), 4u);
      EXPECT_TRUE(t.Stream().good());
      EXPECT_EQ(t.Stream().getpos(), (1 << 20) + 1 + 4);
    }
    EXPECT_EQ(probe.calledAt.size(), 2u);
  }
}

// ---------------------------------------------------------------------------
// Reading

TEST_F(Streams, ReadsInBlocksUntilTheEnd) {
  ChInputStream in;
  in.open(MakeFile("ten", "abcdefghij"));
  ASSERT_TRUE(in.isopen());
  EXPECT_EQ(in.size(), 10);
  char buf[4];
  const std::uint32_t expected[] = {4, 4, 2, 0};
  const bool eofAfter[] = {false, false, true, true};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(in.read(buf, 4), expected[i]);
    EXPECT_EQ(in.eof(), eofAfter[i]);
    EXPECT_TRUE(in.good());
  }
  EXPECT_EQ(in.getpos(), 10);
  in.skip(-3);
  EXPECT_EQ(in.getpos(), 7);
  EXPECT_FALSE(in.eof()) << "a successful seek clears eof";
  EXPECT_EQ(in.read(buf, 3), 3u);
  EXPECT_EQ(std::string(buf, 3), "hij");
  EXPECT_FALSE(in.eof()) << "a full read leaves eof as it was";
  in.seek(0);
  EXPECT_EQ(in.read(buf, 2), 2u);
  EXPECT_EQ(std::string(buf, 2), "ab");
  EXPECT_EQ(in.read(buf, 0), 0u);
  EXPECT_FALSE(in.eof()) << "a read of 0 bytes got all it asked for";
}

TEST_F(Streams, EmptyFileIsAtOneHundredPercent) {
  ChInputStream in;
  in.open(MakeFile("empty", ""));
  EXPECT_EQ(in.percent(), 100);
  EXPECT_FALSE(in.eof());
  char c;
  EXPECT_EQ(in.read(&c, 1), 0u);
  EXPECT_TRUE(in.eof());
  EXPECT_TRUE(in.good());
}

TEST_F(Streams, PercentIsTruncatedDoubleArithmetic) {
  struct Row {
    std::size_t size;
    std::int64_t pos;
    int percent;
  } rows[] = {{3, 0, 0},     {3, 1, 33},    {3, 2, 66},  {3, 3, 100},
              {100, 29, 28},  // 0.29 * 100.0 falls just below 29
              {100, 57, 56}, {100, 50, 50}, {3, 6, 200}, {1, 1000, 100000}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.size) + " bytes at " + std::to_string(row.pos));
    ChInputStream in;
    in.open(MakeFile("p", std::string(row.size, 'x')));
    in.seek(row.pos);
    EXPECT_EQ(in.percent(), row.percent);
  }
}

TEST_F(Streams, SeekPastTheEndThenReadSetsEof) {
  ChInputStream in;
  in.open(MakeFile("f", "abc"));
  in.seek(10);
  EXPECT_TRUE(in.good());
  EXPECT_EQ(in.getpos(), 10);
  char c;
  EXPECT_EQ(in.read(&c, 1), 0u);
  EXPECT_TRUE(in.eof());
  EXPECT_TRUE(in.good());
}

// Positions whose low 32 bits are all ones are the seek call's failure value
// too: the valid one must succeed, the negative ones fail.
TEST_F(Streams, SeekJudgesEveryPosition) {
  struct Row {
    std::int64_t pos;
    int error;
  } rows[] = {{0, 0},
              {0xFFFFFFFFLL, 0},
              {0x1FFFFFFFFLL, 0},
              {-1, kNegativeSeek},
              {-2, kNegativeSeek},
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
    if (row.error != 0) {
      EXPECT_FALSE(in.good());
      EXPECT_TRUE(in.isopen());
      char c;
      in.seek(0);  // in error: does nothing
      EXPECT_EQ(in.read(&c, 1), 0u);
      out.write("x");
      EXPECT_EQ(out.error(), row.error);
    }
  }
  EXPECT_EQ(ReadAll(dir.Native("out")), "") << "a write ran on a stream in error";
}

TEST_F(Streams, FailedOpensKeepTheOsCode) {
  struct Row {
    const char* name;
    int error;
  } rows[] = {{"missing", kFileNotFound}, {"no-such-dir/missing", kPathNotFound}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ChInputStream in;
    in.open(dir.Generic(row.name));
    EXPECT_FALSE(in.isopen());
    EXPECT_FALSE(in.good());
    EXPECT_FALSE(in.eof());
    EXPECT_EQ(in.size(), 0);
    EXPECT_EQ(in.percent(), 100);
    EXPECT_EQ(in.error(), row.error);
    char c;
    EXPECT_EQ(in.read(&c, 1), 0u);
    EXPECT_EQ(in.error(), row.error);
    EXPECT_STREQ(in.name(), dir.Generic(row.name).c_str());
  }
  ChOutputStream out;
  out.open(dir.Generic("no-such-dir/new"));
  EXPECT_FALSE(out.isopen());
  EXPECT_EQ(out.error(), kPathNotFound);
}

TEST_F(Streams, OpenReadsThePathUpToItsFirstNul) {
  MakeFile("a", "A");
  ChInputStream in;
  in.open(dir.Generic("a") + std::string("\0junk", 5));
  EXPECT_TRUE(in.isopen());
  EXPECT_STREQ(in.name(), dir.Generic("a").c_str());
}

// ---------------------------------------------------------------------------
// Writing

TEST_F(Streams, OutputCreatesOrEmptiesNeverAppends) {
  const std::string path = MakeFile("hundred", std::string(100, 'x'));
  ChOutputStream out;
  out.open(path);
  ASSERT_TRUE(out.isopen());
  EXPECT_EQ(streamtest::fs::file_size(dir.Native("hundred")), 0u);
  out.write(std::string("a\0b", 3));
  out.write("cd");
  out.write("", 0);
  EXPECT_TRUE(out.good());
  EXPECT_EQ(out.getpos(), 5);
  out.close();
  EXPECT_EQ(ReadAll(dir.Native("hundred")), std::string("a\0bcd", 5));

  ChOutputStream created;
  created.open(dir.Generic("new"));
  created.seek(10);
  created.write("z", 1);
  created.close();
  EXPECT_EQ(ReadAll(dir.Native("new")), std::string(10, '\0') + "z");
}

TEST_F(Streams, PrintfFitsUpTo1023Characters) {
  ChOutputStream out;
  out.open(dir.Generic("p"));
  out.printf("%d-%s|", 42, "ok");
  out.printf("%s", std::string(1023, 'a').c_str());
  try {
    out.printf("%s", std::string(1024, 'b').c_str());
    ADD_FAILURE() << "1024 characters did not throw";
  } catch (const ChException& e) {
    EXPECT_STREQ(e.what(), "Buffer overflow in ChOutputStream::printf");
  }
  EXPECT_TRUE(out.good());
  out.printf("%c", '!');
  out.close();
  EXPECT_EQ(ReadAll(dir.Native("p")), "42-ok|" + std::string(1023, 'a') + "!");

  ChOutputStream none;  // formats, then drops the text
  EXPECT_NO_THROW(none.printf("%s", std::string(1023, 'a').c_str()));
  EXPECT_THROW(none.printf("%s", std::string(1024, 'a').c_str()), ChException);
  EXPECT_THROW(none.printf(nullptr), ChException);
#if defined(__GLIBC__)
  // glibc cannot encode U+00E9 in the "C" locale: a formatting failure.
  ChOutputStream failing;
  failing.open(dir.Generic("q"));
  EXPECT_THROW(failing.printf("%ls", L"\u00e9"), ChException);
  failing.close();
  EXPECT_EQ(ReadAll(dir.Native("q")), "");
#endif
}

TEST_F(Streams, CloseTwiceKeepsNameAndError) {
  ChInputStream in;
  in.open(dir.Generic("missing"));
  in.close();
  in.close();
  EXPECT_EQ(in.error(), kFileNotFound);
  EXPECT_STREQ(in.name(), dir.Generic("missing").c_str());
  EXPECT_TRUE(in.eof());
  ChOutputStream out;
  out.open(dir.Generic("o"));
  out.seek(-1);
  out.close();
  out.close();
  EXPECT_EQ(out.error(), kNegativeSeek);
  EXPECT_FALSE(out.good());
}

// ---------------------------------------------------------------------------
// Path lengths

TEST_F(Streams, PathsOf256BytesThrowAndKeepTheHeldFile) {
  const std::string base = dir.GenericDir() + "/";
  ASSERT_LT(base.size(), 200u);
  const std::string fits = base + std::string(255 - base.size(), 'n');
  const std::string tooLong = fits + "m";
  ASSERT_EQ(fits.size(), 255u);

  ChOutputStream out;
  out.open(fits);
  EXPECT_TRUE(out.isopen()) << "255 bytes must open";
  out.write("kept");
  try {
    out.open(tooLong);
    ADD_FAILURE() << "256 bytes did not throw";
  } catch (const ChException& e) {
    EXPECT_STREQ(e.what(), "ChOutputStream: path too long");
  }
  EXPECT_EQ(std::string(out.name()), fits) << "the name holds the first 255 bytes";
  EXPECT_TRUE(out.good()) << "the held file was lost";
  out.write("!");
  out.close();

  ChInputStream in;
  in.open(fits);
  char buf[8];
  EXPECT_EQ(in.read(buf, 8), 5u);
  EXPECT_EQ(std::string(buf, 5), "kept!");
  try {
    in.openFork(tooLong, true);
    ADD_FAILURE() << "256 bytes did not throw";
  } catch (const ChException& e) {
    EXPECT_STREQ(e.what(), "ChInputStream: path too long");
  }
  EXPECT_EQ(std::string(in.name()), fits);
  EXPECT_TRUE(in.isopen());
}

// ---------------------------------------------------------------------------
// Resource forks

TEST_F(Streams, ForkIsWrittenAndReadBackBesideTheData) {
  const std::string path = MakeFile("doc", "data bytes");
  ChOutputStream out;
  out.openFork(path, true);
  ASSERT_TRUE(out.isopen()) << "error " << out.error();
  out.write("fork bytes!");
  out.close();

  ChInputStream in;
  in.openFork(path, true);
  ASSERT_TRUE(in.isopen()) << "error " << in.error();
  EXPECT_EQ(in.size(), 11);
  char buf[16];
  EXPECT_EQ(in.read(buf, 16), 11u);
  EXPECT_EQ(std::string(buf, 11), "fork bytes!");
  in.open(path);
  EXPECT_EQ(in.read(buf, 16), 10u);
  EXPECT_EQ(std::string(buf, 10), "data bytes") << "the fork overwrote the data";

  // Writing the fork again empties it first.
  out.openFork(path, true);
  out.write("x");
  out.close();
  in.openFork(path, true);
  EXPECT_EQ(in.size(), 1);
}

TEST_F(Streams, InputForkFallsBackToTheCompanionFile) {
  const std::string path = MakeFile("report", "data");
  WriteAll(dir.Native("._report"), std::string("\0\5\26\7companion", 13));
  ChInputStream in;
  in.openFork(path, true);
  ASSERT_TRUE(in.isopen());
  EXPECT_TRUE(in.good());
  EXPECT_EQ(in.size(), 13);
  char buf[16];
  EXPECT_EQ(in.read(buf, 16), 13u);
  EXPECT_EQ(std::string(buf, 13), std::string("\0\5\26\7companion", 13));
  EXPECT_STREQ(in.name(), path.c_str());

  ChOutputStream out;  // never the companion
  out.openFork(path, true);
  out.write("new fork");
  out.close();
  EXPECT_EQ(ReadAll(dir.Native("._report")), std::string("\0\5\26\7companion", 13));
}

TEST_F(Streams, ForkMissingEverywhereGivesFileNotFound) {
  const std::string rows[] = {dir.Generic("plain"), dir.Generic("nothing"),
                              "talq-no-such-file-7f3a"};  // relative: no backslash
  MakeFile("plain", "data");
  for (const std::string& path : rows) {
    SCOPED_TRACE(path);
    ChInputStream in;
    in.openFork(path, true);
    EXPECT_FALSE(in.isopen());
    EXPECT_EQ(in.error(), kFileNotFound);
  }
}

// ---------------------------------------------------------------------------
// Large files: sparse, so they take no disk space.

TEST_F(Streams, FilesOf4GiBAndMoreAreBig) {
  struct Row {
    std::int64_t size;
    bool big;
  } rows[] = {{4294967295LL, false}, {4294967296LL, true}, {5000000000LL, true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.size);
    const std::string path = dir.Generic("big");
    {
      ChOutputStream out;
      out.open(path);
      out.seek(row.size - 1);
      out.write("Z");
      ASSERT_TRUE(out.good()) << "error " << out.error();
    }
#if !defined(_WIN32)
    struct stat st {};
    ASSERT_EQ(::stat(dir.Native("big").c_str(), &st), 0);
    EXPECT_LT(st.st_blocks * 512, 1 << 20) << "the test file is not sparse";
#endif
    ChInputStream in;
    in.open(path);
    EXPECT_EQ(in.size(), row.size);
    EXPECT_EQ(in.isbig(), row.big);
    in.seek(row.size - 1);
    EXPECT_EQ(in.getpos(), row.size - 1);
    char c = 0;
    EXPECT_EQ(in.read(&c, 2), 1u);
    EXPECT_EQ(c, 'Z');
    EXPECT_TRUE(in.eof());
    in.seek(row.size / 10 * 9);
    EXPECT_EQ(in.percent(), 89 + (row.size % 10 == 0 ? 1 : 0));
    in.skip(-(row.size / 10 * 9) + 1);
    EXPECT_EQ(in.getpos(), 1);
    in.close();
    streamtest::fs::remove(dir.Native("big"));
  }
}

// ---------------------------------------------------------------------------
// Copies share the file

TEST_F(Streams, InputCopiesShareOneFileInEveryOrder) {
  const std::string path = MakeFile("f", "abcdef");
  const std::string other = MakeFile("g", "XYZ");
  enum Order { kCloseSourceFirst, kCloseCopyFirst, kDestroySource, kReopenSource, kAssignOver };
  for (const Order order :
       {kCloseSourceFirst, kCloseCopyFirst, kDestroySource, kReopenSource, kAssignOver}) {
    SCOPED_TRACE(order);
    auto* source = new ChInputStream;
    source->open(path);
    ChInputStream copy(*source);
    ChInputStream assigned;
    assigned.open(other);
    assigned = *source;  // lets go of g
    char c = 0;
    EXPECT_EQ(source->read(&c, 1), 1u);
    EXPECT_EQ(copy.read(&c, 1), 1u);
    EXPECT_EQ(c, 'b') << "copies share the position";
    EXPECT_EQ(assigned.read(&c, 1), 1u);
    EXPECT_EQ(c, 'c');
    ChInputStream* survivor = &copy;
    switch (order) {
      case kCloseSourceFirst:
        source->close();
        EXPECT_FALSE(source->isopen());
        break;
      case kCloseCopyFirst:
        copy.close();
        survivor = source;
        break;
      case kDestroySource:
        delete source;
        source = nullptr;
        break;
      case kReopenSource:
        source->open(other);
        EXPECT_EQ(source->read(&c, 1), 1u);
        EXPECT_EQ(c, 'X');
        break;
      case kAssignOver:
        copy = ChInputStream();
        EXPECT_FALSE(copy.isopen());
        survivor = &assigned;
        break;
    }
    ASSERT_TRUE(survivor->isopen());
    EXPECT_EQ(survivor->read(&c, 1), 1u);
    EXPECT_EQ(c, 'd');
    const ChInputStream& self = assigned;
    assigned = self;  // self-assignment keeps the share
    EXPECT_EQ(assigned.read(&c, 1), 1u);
    EXPECT_EQ(c, 'e');
    delete source;
    copy.close();
    copy.close();
    EXPECT_TRUE(assigned.isopen());
  }
}

TEST_F(Streams, OutputCopiesWriteThroughOneHandle) {
  const std::string path = dir.Generic("o");
  {
    ChOutputStream a;
    a.open(path);
    ChOutputStream b(a);
    ChOutputStream c;
    c = b;
    a.write("1");
    b.write("2");
    c.write("3");
    b.close();
    a.write("4");
    a.close();
    c.write("5");
    EXPECT_TRUE(c.good());
  }
  EXPECT_EQ(ReadAll(dir.Native("o")), "12345");
}

// A copy's error is its own copy of the shared code; the shared code stops
// every sharer.
TEST_F(Streams, ErrorOfOneCopyStopsTheOthersTransfers) {
  ChInputStream a;
  a.open(MakeFile("f", "abc"));
  ChInputStream b(a);
  a.seek(-1);
  EXPECT_EQ(a.error(), kNegativeSeek);
  EXPECT_EQ(b.error(), 0) << "b's own copy refreshes at its next transfer";
  char c;
  EXPECT_EQ(b.read(&c, 1), 0u);
  EXPECT_EQ(b.error(), kNegativeSeek);
}

// ---------------------------------------------------------------------------
// Windows sharing rules (Wine gives real share modes; POSIX has none)

#if defined(_WIN32)
TEST_F(Streams, ShareModesFollowWindows) {
  const std::string path = MakeFile("shared", "0123456789");
  ChInputStream first, second;
  first.open(path);
  second.open(path);
  char a[4], b[4];
  EXPECT_EQ(first.read(a, 4), 4u);
  EXPECT_EQ(second.read(b, 4), 4u);
  EXPECT_EQ(std::string(b, 4), "0123") << "separate opens have separate positions";

  ChOutputStream writer;  // readers share writing
  writer.open(path);
  EXPECT_TRUE(writer.isopen()) << "error " << writer.error();
  ChInputStream third;  // and a writer shares reading
  third.open(path);
  EXPECT_TRUE(third.isopen()) << "error " << third.error();
  writer.close();

  const HANDLE holder = ::CreateFileW(dir.Native("shared").wstring().c_str(), GENERIC_READ,
                                      FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  ChOutputStream refused;
  refused.open(path);
  EXPECT_FALSE(refused.isopen());
  EXPECT_EQ(refused.error(), kSharingViolation);
  ::CloseHandle(holder);
  refused.open(path);
  EXPECT_TRUE(refused.isopen());
}

TEST_F(Streams, ReopeningOutputReleasesItsOwnHandleFirst) {
  const std::string path = dir.Generic("again");
  ChOutputStream out;
  out.open(path);
  out.write("first");
  out.open(path);  // our own handle shares only reading
  EXPECT_TRUE(out.isopen()) << "error " << out.error();
  out.write("2nd");
  out.close();
  EXPECT_EQ(ReadAll(dir.Native("again")), "2nd");
}
#endif

}  // namespace
