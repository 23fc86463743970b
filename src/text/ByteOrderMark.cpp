// Byte-order marks: recognising, removing and undoing a swapped byte order.

#include "TalqOSUtils/UnicodeString.h"
#include "text/TextInternal.h"

namespace TalqOSUtils {

bool UnicodeString::HasBOM(const std::string& text) {
  return text::HasUTF8Mark(text.data(), text.size());
}

bool UnicodeString::HasBOM(const UniString& text) {
  return !text.empty() && text::IsMarkUnit(text[0]);
}

std::string UnicodeString::ProcessBOM(const std::string& text) {
  if (HasBOM(text)) return text.substr(text::kUTF8MarkLength);
  return text;
}

UniString UnicodeString::ProcessBOM(const UniString& text) {
  UniString result;
  if (text.empty()) return result;
  if (text[0] == text::kSwappedMark) {
    result.resize(text.size() - 1);
    text::SwapUnits(text.data() + 1, text.size() - 1, &result[0]);
  } else if (text[0] == text::kMark) {
    result.assign(text, 1, UniString::npos);
  } else {
    result = text;
  }
  return result;
}

UniString UnicodeString::ReverseBytes(const UniString& text) {
  UniString result(text.size(), UniChar());
  if (!text.empty()) text::SwapUnits(text.data(), text.size(), &result[0]);
  return result;
}

}  // namespace TalqOSUtils
