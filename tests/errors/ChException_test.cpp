#include <cstring>
#include <stdexcept>
#include <string>

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/Paths.h"
#include "gtest/gtest.h"

using TalqOSUtils::ChException;
using TalqOSUtils::ChFindFileException;

namespace {

// Exposes the two fields so tests can tell the three states apart.
class Probe : public ChException {
 public:
  using ChException::ChException;
  const char* raw() const { return mDescription; }
  bool owns() const { return mOwnsDescription; }
};

TEST(ChExceptionStates, WithoutMessageYieldsStaticEmptyString) {
  Probe none;
  Probe fromNull(static_cast<const char*>(nullptr));
  EXPECT_STREQ(none.what(), "");
  EXPECT_EQ(none.raw(), nullptr);
  EXPECT_FALSE(none.owns());
  EXPECT_STREQ(fromNull.what(), "");
  EXPECT_FALSE(fromNull.owns());
  // One static empty string serves every object without text.
  EXPECT_EQ(none.what(), fromNull.what());
}

TEST(ChExceptionStates, EmptyTextIsOwnedButWhatStaysStatic) {
  Probe e("x");
  const char* stored = e.SetDescription("");
  ASSERT_NE(stored, nullptr);
  EXPECT_TRUE(e.owns());
  EXPECT_EQ(stored, e.raw());
  EXPECT_NE(e.what(), stored);
  EXPECT_EQ(e.what(), Probe().what());
}

TEST(ChExceptionStates, NullTextRemovesMessage) {
  Probe e("Unknown encoding");
  EXPECT_EQ(e.SetDescription(nullptr), nullptr);
  EXPECT_FALSE(e.owns());
  EXPECT_EQ(e.raw(), nullptr);
  EXPECT_STREQ(e.what(), "");
}

TEST(ChExceptionText, StoresPrivateExactCopy) {
  char text[] = "Unsupported encoding";
  ChException e(text);
  text[0] = 'X';
  EXPECT_STREQ(e.what(), "Unsupported encoding");
  EXPECT_NE(e.what(), text);
}

TEST(ChExceptionText, LongTextIsNotTruncated) {
  const std::string longText(100000, 'q');
  ChException e(longText);
  EXPECT_EQ(std::strlen(e.what()), longText.size());
}

TEST(ChExceptionText, StringWithInnerNulIsCutThere) {
  const std::string text("abc\0def", 7);
  ChException e(text);
  EXPECT_STREQ(e.what(), "abc");
}

TEST(ChExceptionText, SettingOwnTextKeepsIt) {
  ChException e("Root string too long");
  EXPECT_STREQ(e.SetDescription(e.what()), "Root string too long");
  EXPECT_STREQ(e.what(), "Root string too long");
}

TEST(ChExceptionCopy, CopyOwnsSeparateBuffer) {
  auto* first = new ChException("Unable to convert file path");
  ChException copy(*first);
  EXPECT_NE(copy.what(), first->what());
  delete first;
  EXPECT_STREQ(copy.what(), "Unable to convert file path");
}

TEST(ChExceptionCopy, CopyOfMessagelessObjectOwnsEmptyText) {
  Probe none;
  Probe copy(none);
  EXPECT_TRUE(copy.owns());
  ASSERT_NE(copy.raw(), nullptr);
  EXPECT_STREQ(copy.raw(), "");
  EXPECT_STREQ(copy.what(), "");
}

TEST(ChExceptionCopy, AssignmentReplacesTextAndSelfAssignmentKeepsBuffer) {
  ChException a("first");
  ChException b("second");
  a = b;
  EXPECT_STREQ(a.what(), "second");
  EXPECT_NE(a.what(), b.what());
  const char* before = a.what();
  ChException& self = a;
  a = self;
  EXPECT_EQ(a.what(), before);
  EXPECT_STREQ(a.what(), "second");
}

// Copying reads the source through its virtual what().
class Overriding : public ChException {
 public:
  const char* what() const override { return "from override"; }
};

TEST(ChExceptionCopy, CopiesGoThroughVirtualWhat) {
  Overriding source;
  ChException copy(static_cast<const ChException&>(source));
  EXPECT_STREQ(copy.what(), "from override");
  ChException assigned("old");
  assigned = source;
  EXPECT_STREQ(assigned.what(), "from override");
}

TEST(ChExceptionThrow, FindFileExceptionCaughtAsBase) {
  try {
    throw ChFindFileException("Uninitialized search");
  } catch (const ChException& e) {
    EXPECT_STREQ(e.what(), "Uninitialized search");
    EXPECT_NE(dynamic_cast<const ChFindFileException*>(&e), nullptr);
  }
}

TEST(ChExceptionThrow, NotAStandardException) {
  bool caughtAsStd = false;
  bool caughtAsOurs = false;
  try {
    try {
      throw ChException("Unknown encoding");
    } catch (const std::exception&) {
      caughtAsStd = true;
    }
  } catch (const ChException&) {
    caughtAsOurs = true;
  }
  EXPECT_FALSE(caughtAsStd);
  EXPECT_TRUE(caughtAsOurs);
}

// Thrown inside the shared library, caught in this executable.
TEST(ChExceptionThrow, CrossesTheLibraryBoundary) {
  try {
    TalqOSUtils::OSPathLocal(std::string(257, 'a'));
    FAIL() << "no exception";
  } catch (const ChException& e) {
    EXPECT_STREQ(e.what(), "Unable to convert file path");
  }
}

TEST(MessageLogging, AcceptsAnyArgumentsAndReturns) {
  TalqOSUtils::FileMessageLogging(true);
  TalqOSUtils::LogFileMessage(nullptr);
  TalqOSUtils::LogFileMessage("%s %d %f", 1.5, "mismatched", nullptr);
  TalqOSUtils::FileMessageLogging(false);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  TalqOSUtils::LogFileMessage("%s", "text");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
