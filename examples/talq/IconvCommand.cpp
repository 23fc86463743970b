// talq iconv: text from one encoding to another through UTF-8, byte for byte
// (a NUL byte passes through; the library's conversions stop at one, so the
// text is converted piece by piece between NULs).
#include <cstdio>
#include <memory>
#include <string>

#include "Talq.h"
#include "TalqOSUtils/TalqOSUtils.h"

namespace talq {

namespace {

TalqOSUtils::Encoding EncodingNamed(const std::string& name) {
  struct Named {
    const char* name;
    TalqOSUtils::Encoding encoding;
  };
  static const Named kNames[] = {
      {"utf-8", TalqOSUtils::kUTF8Encoding},        {"utf8", TalqOSUtils::kUTF8Encoding},
      {"latin1", TalqOSUtils::kISOLatin1Encoding},  {"iso-8859-1", TalqOSUtils::kISOLatin1Encoding},
      {"macroman", TalqOSUtils::kMacRomanEncoding}, {"mac", TalqOSUtils::kMacRomanEncoding},
      {"platform", TalqOSUtils::kPlatformEncoding}, {"url", TalqOSUtils::kURLEncoding},
  };
  for (const Named& n : kNames) {
    if (name == n.name) return n.encoding;
  }
  throw UsageError{"unknown encoding '" + name +
                   "' (known: utf-8, latin1, macroman, platform, url)"};
}

std::string ReadAll(const Args& args) {
  std::string text;
  std::unique_ptr<char[]> block(new char[1u << 16]);
  if (args.empty()) {
    for (std::size_t n; (n = std::fread(block.get(), 1, 1u << 16, stdin)) != 0;)
      text.append(block.get(), n);
    if (std::ferror(stdin)) throw Failure{"cannot read standard input"};
    return text;
  }
  TalqOSUtils::ChInputStream in;
  in.open(ToGeneric(args[0]));
  if (!in.isopen()) throw Failure{"cannot open '" + args[0] + "': " + DescribeOsError(in.error())};
  for (;;) {
    const std::uint32_t n = in.read(block.get(), 1u << 16);
    if (!in.good()) throw Failure{"cannot read '" + args[0] + "': " + DescribeOsError(in.error())};
    if (n == 0) return text;
    text.append(block.get(), n);
  }
}

}  // namespace

int IconvCommand(Args args) {
  const std::string fromName = TakeOption(args, "-f");
  const std::string toName = TakeOption(args, "-t");
  if (fromName.empty() || toName.empty()) throw UsageError{"-f ENC and -t ENC are required"};
  const TalqOSUtils::Encoding from = EncodingNamed(fromName);
  const TalqOSUtils::Encoding to = EncodingNamed(toName);
  ExpectCount(args, 0, 1);

  const std::string text = ReadAll(args);
  std::string out;
  out.reserve(text.size());
  std::size_t start = 0;
  for (;;) {
    const std::size_t nul = text.find('\0', start);
    const std::string piece = text.substr(start, nul == std::string::npos ? nul : nul - start);
    const std::string utf8 = TalqOSUtils::UnicodeString::MapEncodingToUTF8(from, piece);
    if (from == TalqOSUtils::kURLEncoding && utf8.empty() && !piece.empty()) {
      throw Failure{"the text is not valid percent-encoding"};
    }
    const std::string converted = TalqOSUtils::UnicodeString::MapUTF8ToEncoding(to, utf8);
    // Only Mac OS Roman refuses characters (its result is then empty).
    if (to == TalqOSUtils::kMacRomanEncoding && converted.empty() && !utf8.empty()) {
      throw Failure{"the text holds characters that " + toName + " cannot represent"};
    }
    out += converted;
    if (nul == std::string::npos) break;
    out += '\0';
    start = nul + 1;
  }
  WriteOut(out);
  return kOk;
}

}  // namespace talq
