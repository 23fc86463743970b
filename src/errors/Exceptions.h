// The library's exception messages with the codes the C interface answers
// for them (Exceptions.def), and the codes of ErrorCodes.def by name, for
// code that stands above the platform layer.
#pragma once

#include <cstdint>

namespace TalqOSUtils {
namespace errors {

/// The codes of ErrorCodes.def: Code::FileNotFound is 2.
enum class Code : std::uint32_t {
#define TALQ_ERROR(name, code, symbol, text) name = (code),
#include "errors/ErrorCodes.def"
#undef TALQ_ERROR
};

/// The messages: kRootTooLong is "Root string too long".
#define TALQ_EXCEPTION(name, code, message) inline constexpr char k##name[] = message;
#include "errors/Exceptions.def"
#undef TALQ_EXCEPTION

/// A message and its code.
struct ExceptionRow {
  const char* message;
  Code code;
};

/// Every message, for a handler that needs the code of what() (a message
/// found in no row is no exception of the library's own).
inline constexpr ExceptionRow kExceptions[] = {
#define TALQ_EXCEPTION(name, code, message) {k##name, Code::code},
#include "errors/Exceptions.def"
#undef TALQ_EXCEPTION
};

}  // namespace errors
}  // namespace TalqOSUtils
