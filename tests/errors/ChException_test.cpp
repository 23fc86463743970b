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

TEST(ChExceptionStates, NoMessageEmptyCopyAndText) {
  Probe none;
  Probe fromNull(static_cast<const char*>(nullptr));
  EXPECT_FALSE(none.owns() || fromNull.owns());
  EXPECT_EQ(none.raw(), nullptr);
  EXPECT_STREQ(none.what(), "");
  // One static empty string serves every object without a non-empty text.
  EXPECT_EQ(none.what(), fromNull.what());

  Probe e("x");
  const char* stored = e.SetDescription("");
  ASSERT_NE(stored, nullptr);
  EXPECT_TRUE(e.owns());
  EXPECT_NE(e.what(), stored);
  EXPECT_EQ(e.what(), none.what());

  EXPECT_EQ(e.SetDescription(nullptr), nullptr);
  EXPECT_FALSE(e.owns());
  EXPECT_EQ(e.raw(), nullptr);
}

TEST(ChExceptionText, PrivateExactCopies) {
  char text[] = "Unsupported encoding";
  ChException e(text);
  text[0] = 'X';
  EXPECT_STREQ(e.what(), "Unsupported encoding");
  EXPECT_EQ(std::strlen(ChException(std::string(100000, 'q')).what()), 100000u);
  EXPECT_STREQ(ChException(std::string("abc\0def", 7)).what(), "abc");
  // Its own text handed back must survive the release of the old copy.
  EXPECT_STREQ(e.SetDescription(e.what()), "Unsupported encoding");
  EXPECT_STREQ(e.what(), "Unsupported encoding");
}

TEST(ChExceptionCopy, CopiesOwnTheirBuffers) {
  auto* first = new ChException("Unable to convert file path");
  ChException copy(*first);
  EXPECT_NE(copy.what(), first->what());
  delete first;
  EXPECT_STREQ(copy.what(), "Unable to convert file path");

  const Probe none;
  Probe emptyCopy(none);  // a messageless source copies as an owned ""
  EXPECT_TRUE(emptyCopy.owns());
  EXPECT_STREQ(emptyCopy.raw(), "");

  ChException a("first");
  a = copy;
  EXPECT_STREQ(a.what(), "Unable to convert file path");
  EXPECT_NE(a.what(), copy.what());
  const char* before = a.what();
  ChException& self = a;
  a = self;
  EXPECT_EQ(a.what(), before);
}

// Copying reads the source through its virtual what().
class Overriding : public ChException {
 public:
  const char* what() const override { return "from override"; }
};

TEST(ChExceptionCopy, CopiesGoThroughVirtualWhat) {
  Overriding source;
  EXPECT_STREQ(ChException(static_cast<const ChException&>(source)).what(), "from override");
  ChException assigned("old");
  assigned = source;
  EXPECT_STREQ(assigned.what(), "from override");
}

TEST(ChExceptionThrow, CaughtAsChExceptionOnly) {
  try {
    try {
      throw ChFindFileException("Uninitialized search");
    } catch (const std::exception&) {
      ADD_FAILURE() << "caught as std::exception";
    }
  } catch (const ChException& e) {
    EXPECT_STREQ(e.what(), "Uninitialized search");
    EXPECT_NE(dynamic_cast<const ChFindFileException*>(&e), nullptr);
  }
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

TEST(MessageLogging, AcceptsAnythingAndWritesNothing) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  for (bool on : {true, false}) {
    TalqOSUtils::FileMessageLogging(on);
    TalqOSUtils::LogFileMessage(nullptr);
    TalqOSUtils::LogFileMessage("%s %d %f", 1.5, "mismatched", nullptr);
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
