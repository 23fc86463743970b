#include <cstring>
#include <stdexcept>
#include <string>

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/Paths.h"
#include "gtest/gtest.h"

using TalqOSUtils::ChException;

namespace {

// Exposes the two fields so tests can tell the three states apart.
struct Probe : ChException {
  using ChException::ChException;
  const char* raw() const { return mDescription; }
  bool owns() const { return mOwnsDescription; }
};

// Copies read the source through its virtual what().
struct Overriding : ChException {
  const char* what() const override { return "from override"; }
};

TEST(ChException, NoMessageEmptyAndTextStates) {
  Probe none, e("x");
  EXPECT_FALSE(none.owns());
  EXPECT_EQ(none.raw(), nullptr);
  EXPECT_STREQ(none.what(), "");
  ASSERT_NE(e.SetDescription(""), nullptr);
  EXPECT_TRUE(e.owns());
  // One static empty string serves every object without a non-empty text.
  EXPECT_EQ(e.what(), none.what());
  EXPECT_EQ(Probe(static_cast<const char*>(nullptr)).what(), none.what());
  EXPECT_EQ(e.SetDescription(nullptr), nullptr);
  EXPECT_FALSE(e.owns());
  EXPECT_STREQ(Probe(none).raw(), "");  // a messageless source copies as an owned ""
}

TEST(ChException, TextsAreExactPrivateCopies) {
  char text[] = "Unsupported encoding";
  ChException e(text);
  text[0] = 'X';
  EXPECT_STREQ(e.what(), "Unsupported encoding");
  EXPECT_EQ(std::strlen(ChException(std::string(100000, 'q')).what()), 100000u);
  EXPECT_STREQ(ChException(std::string("abc\0def", 7)).what(), "abc");
  // Its own text handed back must survive the release of the old copy.
  EXPECT_STREQ(e.SetDescription(e.what()), "Unsupported encoding");

  auto* first = new ChException("Unable to convert file path");
  ChException copy(*first), assigned("old");
  EXPECT_NE(copy.what(), first->what());
  delete first;
  EXPECT_STREQ(copy.what(), "Unable to convert file path");
  const char* before = copy.what();
  copy = static_cast<ChException&>(copy);
  EXPECT_EQ(copy.what(), before);
  EXPECT_STREQ(ChException(static_cast<const ChException&>(Overriding())).what(), "from override");
  assigned = Overriding();
  EXPECT_STREQ(assigned.what(), "from override");
}

TEST(ChException, CaughtAsChExceptionOnlyAcrossTheLibraryBoundary) {
  try {
    try {
      TalqOSUtils::OSPathLocal(std::string(257, 'a'));  // throws inside the library
    } catch (const std::exception&) {
      ADD_FAILURE() << "caught as std::exception";
    }
    ADD_FAILURE() << "no exception";
  } catch (const ChException& e) {
    EXPECT_STREQ(e.what(), "Unable to convert file path");
  }
  try {
    throw TalqOSUtils::ChFindFileException("Uninitialized search");
  } catch (const ChException& e) {
    EXPECT_STREQ(e.what(), "Uninitialized search");
  }
}

}  // namespace
