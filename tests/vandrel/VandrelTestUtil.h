// Small helpers shared by the Vandrel tests.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "Vandrel/Vandrel.h"

namespace vtest {

using U16 = std::basic_string<Vandrel::Uni16>;

inline U16 Units(std::initializer_list<unsigned> units) {
  U16 s;
  for (unsigned u : units) s += static_cast<Vandrel::Uni16>(u);
  return s;
}

inline std::vector<unsigned> AsVector(const U16& s) { return {s.begin(), s.end()}; }

/// Runs a narrow-to-UTF-16 conversion into a roomy buffer.
template <class Fn>
int ToUnits(Fn fn, const std::string& src, U16& out) {
  std::vector<Vandrel::Uni16> buf(src.size() + 8);
  const int r = fn(src.c_str(), buf.data(), buf.size());
  out = buf.data();
  return r;
}

/// Runs a UTF-16-to-narrow conversion into a buffer of `perUnit` bytes a unit.
template <class Fn>
int ToBytes(Fn fn, const U16& src, std::string& out, std::size_t perUnit = 9) {
  std::vector<char> buf(perUnit * src.size() + 8);
  const int r = fn(src.c_str(), buf.data(), buf.size());
  out = buf.data();
  return r;
}

inline std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s;
  for (unsigned char b : bytes) {
    s += kDigits[b >> 4];
    s += kDigits[b & 15];
    s += ' ';
  }
  return s;
}

}  // namespace vtest
