// Percent-encoding's one rule: the unreserved characters of RFC 3986 stay
// as they are, every other byte of the UTF-8 form becomes %XX. Header only,
// below both libraries: Vandrel's encoders and TalqOSUtils' sizing of their
// results read it alike.
#pragma once

namespace Vandrel {
namespace url {

/// A-Z, a-z, 0-9, '-', '.', '_' and '~' ("a", "~" => true; " ", "%", "/" => false).
constexpr bool IsUnreserved(unsigned c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

}  // namespace url
}  // namespace Vandrel
