// Words for the error codes the library reports (ErrorCodes.def).
#include <cstdint>
#include <string>

#include "TalqOSUtils/Errors.h"

namespace TalqOSUtils {

namespace {

struct ErrorText {
  std::uint32_t code;
  const char* text;
};

constexpr ErrorText kTexts[] = {
#define TALQ_ERROR(name, code, symbol, text) {code, text},
#include "errors/ErrorCodes.def"
#undef TALQ_ERROR
};

}  // namespace

std::string OSErrorText(std::uint32_t code) {
  for (const ErrorText& e : kTexts) {
    if (e.code == code) return e.text;
  }
  return "error " + std::to_string(code);
}

}  // namespace TalqOSUtils
