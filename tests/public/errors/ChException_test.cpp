#include <exception>
#include <string>

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/Paths.h"
#include "gtest/gtest.h"

using TalqOSUtils::ChException;

namespace {

TEST(ChException, TextsAreExactPrivateCopies) {
  EXPECT_STREQ(ChException().what(), "");
  char text[] = "Unsupported encoding";
  ChException e(text);
  text[0] = 'X';
  EXPECT_STREQ(e.what(), "Unsupported encoding");
  // Its own text handed back must survive the release of the old copy.
  EXPECT_STREQ(e.SetDescription(e.what()), "Unsupported encoding");
  EXPECT_EQ(e.SetDescription(nullptr), nullptr);

  auto* first = new ChException("Unable to convert file path");
  ChException copy(*first);
  delete first;
  EXPECT_STREQ(copy.what(), "Unable to convert file path");
  const char* before = copy.what();
  copy = static_cast<ChException&>(copy);
  EXPECT_EQ(copy.what(), before);
  copy = ChException();
  EXPECT_STREQ(copy.what(), "") << "assigned an exception without a message";
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
}

}  // namespace
