#include <cstdint>
#include <exception>
#include <string>
#include <type_traits>
#include <utility>

#include "TalqOSUtils/Errors.h"
#include "gtest/gtest.h"

using TalqOSUtils::ChException;

namespace {

// A handler for std::exception does not catch it. (Tests of the functions
// that throw catch it as ChException across the library boundary.)
static_assert(!std::is_base_of<std::exception, ChException>::value, "ChException has no base");

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

// Codes and their Win32 meanings, written from the system's documentation.
TEST(OSErrorText, GivesWordsForReportedCodesAndTheNumberOtherwise) {
  const std::pair<std::uint32_t, const char*> rows[] = {
      {0, "no error"},
      {2, "file not found"},
      {3, "path not found"},
      {5, "access denied"},
      {112, "the disk is full"},
      {32, "the file is in use by another process (sharing violation)"},
      {0x80000000u, "failed without a reason from the system"},
      {4242, "error 4242"},
      {130, "error 130"},
      {0xFFFFFFFFu, "error 4294967295"},
  };
  for (const auto& row : rows) EXPECT_EQ(TalqOSUtils::OSErrorText(row.first), row.second);
}

}  // namespace
