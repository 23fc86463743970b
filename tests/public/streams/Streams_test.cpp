// The file streams through the public interface on files in a temporary
// folder: check functions, transfers, positions, big files, copies, forks.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/FileSystem.h"
#include "TalqOSUtils/Streams.h"
#include "support/FsTestSupport.h"
#include "support/TestSupport.h"

namespace {

using namespace TalqOSUtils;  // NOLINT(google-build-using-namespace)

struct Probe {  // the check function's answer; the test's transfer count at each call
  int transfers = 0, result = 0;
  std::vector<int> calledAt;
};
int ProbeFn(void* data) {
  auto* probe = static_cast<Probe*>(data);
  probe->calledAt.push_back(probe->transfers);
  return probe->result;
}

class Streams : public ::testing::Test {
 protected:
  talqtest::TempDir dir;
};

TEST_F(Streams, CheckFunctionsComeFromTheDefaultsRunPastAMebibyteAndCancel) {
  Probe probe;
  void* got = nullptr;
  ChInputStream before;
  SetDefaultInputCheckFn(&ProbeFn, &probe);
  EXPECT_EQ(ChOutputStream().getcheckfn(&got), nullptr) << "an output stream took the input pair";
  SetDefaultOutputCheckFn(&ProbeFn, &probe);
  EXPECT_EQ(ChOutputStream().getcheckfn(&got), &ProbeFn);
  EXPECT_EQ(got, &probe);
  EXPECT_EQ(before.getcheckfn(&got), nullptr) << "an existing stream changed";
  ChInputStream in;
  in.open(dir.Write("f", "0123456789"));
  std::vector<char> buf(2u << 20);
  for (probe.transfers = 1; probe.transfers <= 7; ++probe.transfers) in.read(buf.data(), 600000);
  EXPECT_EQ(probe.calledAt, (std::vector<int>{3, 6}));
  // Switched off, nothing counts, and the count stays (600,000).
  in.setcheckfn(nullptr, nullptr);
  in.read(buf.data(), 1u << 20);
  in.setcheckfn(&ProbeFn, &probe);
  probe.result = 7;
  in.read(buf.data(), 448576);  // exactly 1,048,576 requested: no call yet
  in.seek(5);
  in.read(buf.data(), 1);
  EXPECT_EQ(probe.calledAt.size(), 2u);
  EXPECT_EQ(in.read(buf.data(), 4), 0u) << "the cancelled call transferred";
  EXPECT_EQ(in.error(), 7);
  in.seek(3);
  EXPECT_EQ(in.read(buf.data(), 2u << 20), 0u);  // counts, transfers nothing
  probe.result = 0;
  EXPECT_EQ(in.read(buf.data(), 1), 1u) << "a zero result clears the error";
  EXPECT_EQ(buf[0], '6') << "a seek ran in error";
  // Writing runs it alike (from the default pair), and a cancel stops the write.
  ChOutputStream out;
  out.open(dir / "o");
  probe.calledAt.clear();
  probe.result = 9;
  for (probe.transfers = 1; probe.transfers <= 3; ++probe.transfers) out.write(buf.data(), 600000);
  EXPECT_EQ(probe.calledAt, (std::vector<int>{3}));
  EXPECT_EQ(out.error(), 9);
  out.close();
  EXPECT_EQ(std::filesystem::file_size(dir.Native("o")), 1200000u) << "the cancelled call wrote";
  // A zero answer clears a transfer's error, not a failed open's.
  ChInputStream missing;
  missing.open(dir / "missing");
  probe.calledAt.clear();
  probe.result = 0;
  for (int i = 0; i < 3; ++i) missing.read(buf.data(), 1u << 20);
  EXPECT_FALSE(probe.calledAt.empty());
  EXPECT_FALSE(missing.good());
  EXPECT_EQ(missing.error(), 2);
  SetDefaultInputCheckFn(nullptr, nullptr);
  SetDefaultOutputCheckFn(nullptr, nullptr);
}

// A check function may close its own stream (a natural cancel) or open another file on it: the
// transfer that ran it moves nothing and the file closes once the transfer is done (the
// sanitizer build catches a use of the freed record). A closed stream keeps the check's answer.
struct Closer {
  ChIOStream* stream;
  std::string reopen;  // "" closes
  static int Check(void* data) {
    auto* self = static_cast<Closer*>(data);
    self->reopen.empty() ? self->stream->close() : self->stream->open(self->reopen);
    return 4;
  }
};

TEST_F(Streams, CheckFunctionsMayCloseOrReopenTheirOwnStream) {
  std::vector<char> buf(2u << 20, 'b');
  for (const bool reopen : {false, true}) {
    SCOPED_TRACE(reopen);
    ChInputStream in;
    in.open(dir.Write("in", std::string(3u << 20, 'i')));
    Closer inCloser{&in, reopen ? dir.Write("other", "other") : ""};
    in.setcheckfn(&Closer::Check, &inCloser);
    EXPECT_EQ(in.read(buf.data(), buf.size()), buf.size());
    EXPECT_EQ(in.read(buf.data(), 8), 0u);
    EXPECT_EQ(in.isopen(), reopen);
    EXPECT_EQ(in.error(), reopen ? 0 : 4);
    EXPECT_EQ(in.getpos(), 0) << "the new file was read";
    ChOutputStream out;
    out.open(dir / "out");
    Closer outCloser{&out, reopen ? dir / "out2" : ""};
    out.setcheckfn(&Closer::Check, &outCloser);
    out.write(buf.data(), static_cast<std::uint32_t>(buf.size()));
    out.write("lost");
    EXPECT_EQ(out.isopen(), reopen);
    EXPECT_EQ(std::filesystem::file_size(dir.Native("out")), buf.size());
    if (reopen) EXPECT_EQ(std::filesystem::file_size(dir.Native("out2")), 0u);
  }
}

// A copy makes or replaces its target whole: its check function sees the progress (more than
// 1 MiB at each call), and its cancel leaves an existing target as it was and makes no new one.
// A fork goes to a fork, its file made for it.
struct CopySeen {
  int calls = 0, answer = 0;
  std::int64_t done = 0, total = 0;
  static int Check(void* data, std::int64_t done, std::int64_t total) {
    auto* seen = static_cast<CopySeen*>(data);
    EXPECT_GT(done - seen->done, 1 << 20);
    ++seen->calls;
    seen->done = done;
    seen->total = total;
    return seen->answer;
  }
};

TEST_F(Streams, CopiesMakeOrReplaceTheirTargetWhole) {
  const std::string big(3u << 20, 'b'), src = dir.Write("src", big);
  CopySeen seen;
  EXPECT_EQ(OSCopyFile(src.c_str(), (dir / "dst").c_str(), false, &CopySeen::Check, &seen), 0u);
  EXPECT_EQ(talqtest::ReadAll(dir.Native("dst")), big);
#if defined(_WIN32)
  if (seen.calls > 0)  // Wine's CopyFileExW calls no progress routine: nothing to cancel with
#endif
  {
    EXPECT_GE(seen.calls, 1);
    EXPECT_EQ(seen.total, static_cast<std::int64_t>(big.size()));
    dir.Write("dst", "old");
    seen = CopySeen{0, 7};
    for (const char* target : {"dst", "new"}) {
      seen.done = 0;
      EXPECT_EQ(OSCopyFile(src.c_str(), (dir / target).c_str(), false, &CopySeen::Check, &seen),
                7u);
    }
    EXPECT_EQ(talqtest::ReadAll(dir.Native("dst")), "old");
    EXPECT_FALSE(std::filesystem::exists(dir.Native("new")));
  }
  ChOutputStream fork;
  fork.openFork(src, true);
  fork.write("rsrc");
  fork.close();
  EXPECT_EQ(OSCopyFile(src.c_str(), (dir / "forked").c_str(), true, nullptr, nullptr), 0u);
  ChInputStream in;
  in.openFork(dir / "forked", true);
  char buf[8];
  EXPECT_EQ(std::string(buf, in.read(buf, 8)), "rsrc");
  EXPECT_EQ(std::filesystem::file_size(dir.Native("forked")), 0u);
  for (const auto& [from, to, code] :
       {std::tuple<std::string, std::string, std::uint32_t>{dir / "missing", dir / "x", 2},
        {src, dir / "no/such", 3},
        {dir / "caf\xE9", dir / "x", 123},
        {src, "", 87}}) {
    EXPECT_EQ(OSCopyFile(from.c_str(), to.c_str(), false, nullptr, nullptr), code) << from << to;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.Native("x")));
}

// Percent is position / size * 100.0 truncated: 29 of 100 gives 28.
TEST_F(Streams, ReadsUntilAShortReadPercentAndPositionsBeyond32Bits) {
  const std::string bytes = std::string(29, '.') + "abc" + std::string(68, '.');
  ChInputStream in;
  EXPECT_TRUE(in.eof()) << "no file";
  EXPECT_EQ(in.percent(), 0);
  char buf[64];
  EXPECT_EQ(in.read(buf, 4), 0u);
  in.open(dir.Write("f", bytes));
  EXPECT_EQ(in.read(buf, 50), 50u);
  EXPECT_EQ(in.read(buf, 51), 50u);
  EXPECT_TRUE(in.eof()) << "short by one";
  in.skip(-71);
  EXPECT_FALSE(in.eof()) << "a successful seek clears eof";
  EXPECT_EQ(in.percent(), 28);
  EXPECT_EQ(std::string(buf, in.read(buf, 3)), "abc");
  EXPECT_FALSE(in.eof()) << "a full read leaves eof as it was";
  in.seek(300);
  EXPECT_EQ(in.read(buf, 1), 0u);
  EXPECT_TRUE(in.eof()) << "past the end";
  EXPECT_EQ(in.percent(), 300);
  in.open(dir.Write("empty", ""));
  EXPECT_EQ(in.percent(), 100);
  in.open(dir / "missing");
  EXPECT_EQ(in.error(), 2);
  dir.Write("big", "");  // sparse
  for (const std::int64_t size : {std::int64_t{4294967295}, std::int64_t{4294967296}}) {
    SCOPED_TRACE(size);
    std::filesystem::resize_file(dir.Native("big"), size);
    in.open(dir / "big");
    EXPECT_EQ(in.size(), size);
    EXPECT_EQ(in.isbig(), size == 4294967296LL);
    in.seek(size / 10 * 9);
    EXPECT_EQ(in.percent(), 89);
  }
  // A low word of all ones is the seek call's failure value too; negatives fail with 131.
  ChOutputStream out;
  for (const std::int64_t pos :
       std::initializer_list<std::int64_t>{0xFFFFFFFF, 0x1FFFFFFFF, -1, -0x100000000, INT64_MIN}) {
    SCOPED_TRACE(pos);
    in.open(dir / "big");
    out.open(dir / "out");
    for (ChIOStream* stream : {static_cast<ChIOStream*>(&in), static_cast<ChIOStream*>(&out)}) {
      stream->seek(pos);
      EXPECT_EQ(stream->error(), pos < 0 ? 131 : 0);
      EXPECT_EQ(stream->getpos(), pos < 0 ? 0 : pos);
    }
  }
}

TEST_F(Streams, OutputEmptiesTheFilePrintfFitsUpTo1023CharactersPathsUpTo255Bytes) {
  const std::string name(254 - dir.Generic().size(), 'n');  // 255 bytes with the folder
  ChOutputStream out;
  out.open(dir.Write(name, std::string(2000, 'o')));
  out.printf("%d-%s|", 42, "ok");
  talqtest::ExpectThrowWhat<ChException>([&] { out.open(dir / (name + "m")); },
                                         "ChOutputStream: path too long");
  EXPECT_EQ(std::string(out.name()), dir / name) << "the name cut to 255 bytes";
  out.printf("%s", std::string(1023, 'a').c_str());
  talqtest::ExpectThrowWhat<ChException>([&] { out.printf("%s", std::string(1024, 'b').c_str()); },
                                         "Buffer overflow in ChOutputStream::printf");
  EXPECT_THROW(out.printf(nullptr), ChException);
  out.close();
  EXPECT_EQ(talqtest::ReadAll(dir.Native(name)), "42-ok|" + std::string(1023, 'a'));
  EXPECT_THROW(ChInputStream().openFork(dir / (name + "m"), true), ChException);
}

TEST_F(Streams, CopiesShareOneFileAndPosition) {
  auto* source = new ChInputStream;
  source->open(dir.Write("f", "abcdef"));
  ChInputStream copy(*source), assigned;
  assigned.open(dir.Write("g", "XYZ"));
  assigned = *source;
  assigned = static_cast<const ChInputStream&>(assigned);  // itself: no change
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
  EXPECT_EQ(other.error(), 131);
  EXPECT_EQ(ChInputStream(assigned).error(), 131) << "a copy made in error";
}

#if defined(_WIN32)
// Real share modes and alternate data streams (on POSIX, which has neither,
// the failure sweep covers the fork).
TEST_F(Streams, ShareModesAndForksFollowWindows) {
  const std::string path = dir.Write("shared", "");
  ChInputStream reader, second;
  ChOutputStream writer, other;
  reader.open(path);
  writer.open(path);  // readers share writing, and a writer shares reading
  second.open(path);
  other.open(path);  // but not writing
  EXPECT_EQ(writer.error(), 0);
  EXPECT_EQ(second.error(), 0);
  EXPECT_EQ(other.error(), 32);
  writer.open(path);  // its own file again: the old handle goes first
  EXPECT_EQ(writer.error(), 0);
  writer.openFork(dir.Write("doc", "data"), true);
  writer.write("fork");
  char buf[16];
  reader.openFork(dir / "doc", true);
  EXPECT_EQ(std::string(buf, reader.read(buf, 16)), "fork");
  EXPECT_EQ(talqtest::ReadAll(dir.Native("doc")), "data") << "the fork overwrote the data";
  const std::string companion("\0\5\26\7companion", 13);  // read as it stands
  dir.Write("._report", companion);
  reader.openFork(dir.Write("report", "data"), true);
  EXPECT_EQ(std::string(buf, reader.read(buf, 16)), companion);
}
#endif

}  // namespace
