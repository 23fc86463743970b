/// @file
/// UnicodeString: 16-bit text with UTF-8 and narrow-encoding conversions and
/// byte-order-mark handling.
///
/// The content is UTF-16 code units in host byte order. Narrow text handed in or
/// read out is UTF-8 unless an Encoding says otherwise. A NUL inside a source
/// ends the text that a conversion reads; a conversion result ends at its first
/// NUL. Conversions of a source longer than the 32-bit working buffers allow
/// (about 4 GiB of UTF-8 in, 1.4 G units out as UTF-8, 476 M units out as URL
/// encoding) throw std::length_error; allocation failure throws std::bad_alloc.
/// Neither is caught by the library.
#pragma once

#include <cstdint>
#include <string>

#include "TalqOSUtils/Export.h"

namespace TalqOSUtils {

/// The 16-bit UTF-16 code unit: wchar_t on Windows (as the platform spells
/// it), char16_t elsewhere (wchar_t is 32 bits there). Same type as
/// Vandrel::Uni16.
#if defined(_WIN32)
using UniChar = wchar_t;
#else
using UniChar = char16_t;
#endif
/// The standard string of 16-bit units: std::wstring on Windows,
/// std::u16string elsewhere.
using UniString = std::basic_string<UniChar>;

/// Names a narrow encoding. The underlying type is fixed, so any 32-bit value
/// may be passed; values other than the ones below throw "Unknown encoding".
enum Encoding : int32_t {
  kDefaultEncoding = 0,  ///< the platform code page, as kPlatformEncoding
  kUnsupportedEncoding,  ///< always throws "Unsupported encoding"
  kMacRomanEncoding,     ///< Mac OS Roman
  kISOLatin1Encoding,    ///< ISO 8859-1
  kURLEncoding,          ///< percent-encoded UTF-8
  kUTF8Encoding,         ///< UTF-8
  kPlatformEncoding      ///< Windows: the process's ANSI code page; elsewhere Windows-1252
};

/// A standard 16-bit string plus a flag recording whether the text it was last
/// constructed or assigned from began with a byte-order mark (which is then
/// removed). Every std::basic_string operation stays available; edits through
/// them leave the flag alone. The base's own operator= overloads are hidden,
/// so every assignment of whole text runs the mark test. There is no
/// constructor from const char*: write UnicodeString s("abc"), which converts
/// through std::string, or s = "abc".
///
///   UnicodeString s(std::string("\xEF\xBB\xBF" "abc"));  // content u"abc", hasBOM()
///   std::string out; s.get(out);                          // out == "abc"
class TALQ_API UnicodeString : public UniString {
 public:
  // -------------------------------------------------------------------------
  /// @name Construction and assignment
  /// @{

  /// Empty, hasBOM() false.
  UnicodeString();
  /// Content and flag exactly as in other (no mark processing).
  UnicodeString(const UnicodeString& other);
  /// As the copy constructor; other is left valid but unspecified.
  UnicodeString(UnicodeString&& other) noexcept;
  /// From UTF-8. hasBOM() is HasBOM(utf8); the content is UTF8ToUCS2(utf8).
  /// "\xEF\xBB\xBF" "abc" => u"abc" (marked); "\xEF\xBB\xBF" alone is not
  /// marked and gives u"\uFEFF".
  UnicodeString(const std::string& utf8);  // NOLINT(google-explicit-constructor)
  /// From 16-bit text. hasBOM() is HasBOM(text); the content is
  /// ProcessBOM(text) when marked, else text. {0xFFFE, 0x4100} => u"A".
  UnicodeString(const UniString& text);  // NOLINT(google-explicit-constructor)
  /// Releases the text.
  virtual ~UnicodeString();

  /// When other.hasBOM(): content = ProcessBOM(other) and hasBOM() true (so a
  /// second U+FEFF left at the start of other's content is dropped here,
  /// unlike in the copy constructor). Otherwise a plain copy, hasBOM() false.
  UnicodeString& operator=(const UnicodeString& other);
  /// As copy assignment. Not noexcept: a marked source is copied to drop
  /// its mark.
  // NOLINTNEXTLINE(performance-noexcept-move-constructor)
  UnicodeString& operator=(UnicodeString&& other);
  /// As the constructor from UTF-8; the old content is replaced.
  UnicodeString& operator=(const std::string& utf8);
  /// As the constructor from 16-bit text; the old content is replaced.
  UnicodeString& operator=(const UniString& text);
  /// As operator= with std::string(utf8). A null pointer is taken as "".
  UnicodeString& operator=(const char* utf8);
  /// @}

  // -------------------------------------------------------------------------
  /// @name Reading out
  /// @{

  /// out = the content as UTF-8, a leading mark dropped (see UCS2ToUTF8).
  void get(std::string& out) const;
  /// out = the content as stored (no mark processing).
  void get(UniString& out) const;
  /// The UTF-8 form into dst, at most size bytes with the NUL. A longer form
  /// is cut to size-1 bytes, possibly inside one character's encoding:
  /// u"abcdef" with size 4 => "abc". size <= 0 or a null dst writes nothing.
  void get(char* dst, int size) const;
  /// The content into dst, at most size units with the NUL; a longer content
  /// is cut to size-1 units. size <= 0 or a null dst writes nothing.
  void get(UniChar* dst, int size) const;
  /// Same as get(UniChar*, int).
  void getUni16Char(UniChar* dst, int size) const;

  /// Whether the text last given to a constructor or assignment was marked.
  bool hasBOM() const { return mHasBOM; }
  /// @}

  // -------------------------------------------------------------------------
  /// @name UTF-8 <=> UTF-16
  /// These read nothing of *this; out may be this object's content.
  /// @{

  /// out = src as UTF-8. One leading U+FEFF is dropped, or a leading U+FFFE is
  /// dropped and the rest byte-swapped; then the same is done once more, so
  /// {FEFF, FEFF, 'A'} => "A" and {FFFE, FFFE, 0x4100} => "A". A lone
  /// surrogate becomes its three-byte form (ED A0 80 for U+D800).
  void UCS2ToUTF8(const UniString& src, std::string& out) const;
  /// out = src as UTF-16, without a leading EF BB BF when src is longer than
  /// three bytes. Each maximal ill-formed subsequence gives U+FFFD, a
  /// three-byte encoded surrogate gives the lone surrogate. "a\xFF" => u"a\uFFFD".
  void UTF8ToUCS2(const std::string& src, UniString& out) const;
  /// @}

  // -------------------------------------------------------------------------
  /// @name Byte-order marks
  /// Only the first unit or the first three bytes are examined.
  /// @{

  /// True when text is longer than three bytes and starts with EF BB BF.
  /// "\xEF\xBB\xBF" => false, "\xEF\xBB\xBF" "a" => true.
  static bool HasBOM(const std::string& text);
  /// True when text starts with U+FEFF or U+FFFE.
  static bool HasBOM(const UniString& text);
  /// text without its leading EF BB BF when HasBOM(text), else text.
  static std::string ProcessBOM(const std::string& text);
  /// {FEFF, x...} => {x...}; {FFFE, x...} => ReverseBytes({x...}); otherwise
  /// text. Only the first mark is removed: {FEFF, FEFF, 'A'} => {FEFF, 'A'}.
  static UniString ProcessBOM(const UniString& text);
  /// Every unit with its two bytes exchanged: {0x0041} => {0x4100}.
  static UniString ReverseBytes(const UniString& text);
  /// @}

  // -------------------------------------------------------------------------
  /// @name Encodings
  /// Every operation taking an Encoding throws ChException "Unsupported
  /// encoding" for kUnsupportedEncoding and "Unknown encoding" for any value
  /// outside 0..6 (negative ones included), before changing anything.
  /// @{

  /// The process-wide system encoding; kDefaultEncoding until set.
  static Encoding GetSystemEncoding();
  /// Stores e unchecked (a bad value throws later, in the system-encoding map
  /// functions) and returns the previous value. Not synchronised.
  static Encoding SetSystemEncoding(Encoding e);

  /// The content as narrow text in e. kUTF8Encoding drops a leading mark (as
  /// UCS2ToUTF8); the others convert every unit, a leading U+FEFF included.
  /// Mac OS Roman gives "" when a unit has no Mac OS Roman byte.
  std::string getStringWithEncoding(Encoding e) const;
  /// Converts text from e and appends it to the content; kUTF8Encoding
  /// replaces the content instead (UTF8ToUCS2). A text that cannot be decoded
  /// (bad URL escape "%G1") leaves the content unchanged. hasBOM() unchanged.
  void setStringWithEncoding(Encoding e, const std::string& text);

  /// out = the content in the platform code page; a character the code page
  /// lacks becomes '?'.
  void getPlatformEncoding(std::string& out) const;
  /// out = the content in ISO 8859-1; units above U+00FF become '?'.
  void getISOLatin1Encoding(std::string& out) const;
  /// out = the UTF-8 form percent-encoded: u"a b\u00E9" => "a%20b%C3%A9".
  /// A-Z a-z 0-9 - . _ ~ stay as they are.
  void getURLEncoding(std::string& out) const;
  /// Appends text read in the platform code page.
  void setPlatformEncoding(const std::string& text);
  /// Appends text read as ISO 8859-1 (every byte is its own code point).
  void setISOLatin1Encoding(const std::string& text);
  /// Appends the percent-decoded text read as UTF-8 ("%41+" => u"A+"); a '%'
  /// without two hex digits after it appends nothing.
  void setURLEncoding(const std::string& text);

  /// text in e, as UTF-8: MapEncodingToUTF8(kISOLatin1Encoding, "\xE9") =>
  /// "\xC3\xA9".
  static std::string MapEncodingToUTF8(Encoding e, const std::string& text);
  /// UTF-8 text in e. A leading EF BB BF of text longer than three bytes is
  /// dropped, and with kUTF8Encoding a leading U+FEFF after decoding too:
  /// MapUTF8ToEncoding(kUTF8Encoding, "\xEF\xBB\xBF") => "".
  static std::string MapUTF8ToEncoding(Encoding e, const std::string& text);
  /// MapEncodingToUTF8(kMacRomanEncoding, text).
  static std::string MapMacRomanToUTF8(const std::string& text);
  /// MapUTF8ToEncoding(kMacRomanEncoding, text); "" when a character has no
  /// Mac OS Roman byte.
  static std::string MapUTF8ToMacRoman(const std::string& text);
  /// MapEncodingToUTF8 with the system encoding at the time of the call.
  static std::string MapSystemEncodingToUTF8(const std::string& text);
  /// MapUTF8ToEncoding with the system encoding at the time of the call.
  static std::string MapUTF8ToSystemEncoding(const std::string& text);
  /// @}

 protected:
  /// Appends the units of a NUL-terminated array, up to the NUL; null appends
  /// nothing. hasBOM() unchanged. Used by the encoding setters.
  void appendUni16Char(const UniChar* units);

  /// What hasBOM() answers.
  bool mHasBOM;

 private:
  /// A Vandrel decoder: text into units within capacity, -1 on failure.
  using FillFn = int (*)(const std::string& text, UniChar* units, std::size_t capacity);
  /// Decodes text with one unit per byte and appends it, unless decode fails.
  void fillFrom(FillFn decode, const std::string& text);

  static Encoding smSystemEncoding;
};

}  // namespace TalqOSUtils
