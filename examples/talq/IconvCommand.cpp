// talq iconv: text from one encoding to another, streamed block by block
// through the library's conversion (Vandrel::Convert), with GNU iconv's
// policy: input that is not valid in its encoding, or a character the target
// cannot represent, stops the conversion with its byte offset (the output
// converted before it is written); with -c such characters are dropped. NUL
// bytes pass through. "UTF-16" reads and writes the byte-order mark as GNU
// iconv does; the conversion itself is the library's.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Talq.h"
#include "TalqOSUtils/TalqOSUtils.h"
#include "Vandrel/Vandrel.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace talq {

namespace {

constexpr std::size_t kInBlock = std::size_t{1} << 16;   // bytes read at a time
constexpr std::size_t kOutBlock = std::size_t{1} << 17;  // bytes written at a time
// An unfinished character at the end of a block is carried into the next:
// at most 11 bytes ("%F0%9F%98%8" of the url encoding).
constexpr std::size_t kCarry = 16;

// ---------------------------------------------------------------------------
// The names. The platform code page is the library's kPlatformEncoding: the
// process's ANSI code page on Windows, Windows-1252 elsewhere; "cpN" and
// "windows-N" name it when it is the single-byte code page N.

enum class Id { kUtf8, kLatin1, kMacRoman, kUrl, kPlatform, kUtf16, kUtf16LE, kUtf16BE };

struct Named {
  Id id;
  std::vector<std::string> names;  // canonical first; lower case
};

#if defined(_WIN32)
unsigned PlatformCodePage() { return ::GetACP(); }
bool PlatformIsSingleByte() {
  CPINFO info;
  return ::GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 1;
}
#else
unsigned PlatformCodePage() { return 1252; }
bool PlatformIsSingleByte() { return true; }
#endif

const std::vector<Named>& Names() {
  static const std::vector<Named> names = [] {
    std::vector<Named> list = {
        {Id::kUtf8, {"utf-8", "utf8"}},
        {Id::kLatin1, {"iso-8859-1", "iso_8859-1", "iso8859-1", "latin1", "l1"}},
        {Id::kMacRoman, {"macintosh", "macroman", "mac"}},
        {Id::kUrl, {"url"}},
        {Id::kUtf16, {"utf-16", "utf16"}},
        {Id::kUtf16LE, {"utf-16le", "utf16le"}},
        {Id::kUtf16BE, {"utf-16be", "utf16be"}},
        {Id::kPlatform, {"platform"}},
    };
    const unsigned page = PlatformCodePage();
    if (PlatformIsSingleByte()) {
      list.back().names.push_back("cp" + std::to_string(page));
      list.back().names.push_back("windows-" + std::to_string(page));
    }
    return list;
  }();
  return names;
}

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

Id IdNamed(const std::string& name) {
  const std::string lower = Lower(name);
  std::string known;
  for (const Named& n : Names()) {
    for (const std::string& alias : n.names) {
      if (alias == lower) return n.id;
    }
    known += (known.empty() ? "" : ", ") + n.names[0];
  }
  throw UsageError{"unknown encoding '" + name + "' (known: " + known +
                   "; talq iconv -l lists their aliases)"};
}

// An encoding as the library's conversion names it, and as messages do.
// "UTF-16" is little-endian (its mark is talq's business, below).
struct Codec {
  Vandrel::TextEncoding encoding;
  std::string display;
  bool withMark = false;
};

Codec CodecFor(Id id) {
  using E = Vandrel::TextEncoding;
  switch (id) {
    case Id::kUtf8:
      return {E::kUtf8, "UTF-8"};
    case Id::kUrl:
      return {E::kUrl, "the url encoding"};
    case Id::kLatin1:
      return {E::kLatin1, "ISO-8859-1"};
    case Id::kMacRoman:
      return {E::kMacRoman, "Mac OS Roman"};
    case Id::kUtf16:
      return {E::kUtf16LE, "UTF-16", true};
    case Id::kUtf16LE:
      return {E::kUtf16LE, "UTF-16LE"};
    case Id::kUtf16BE:
      return {E::kUtf16BE, "UTF-16BE"};
    case Id::kPlatform:
      break;
  }
  const std::string page = std::to_string(PlatformCodePage());
  if (PlatformCodePage() == 65001) return {E::kUtf8, "UTF-8"};
  if (!PlatformIsSingleByte()) {
    throw Failure{"the platform code page (" + page +
                  ") is a multi-byte code page, which talq iconv does not convert"};
  }
  return {E::kPlatform, "the platform code page (" + page + ")"};
}

// ---------------------------------------------------------------------------
// The stream: inputs one after the other, each converted on its own (a
// character cut by the end of one input is incomplete, as GNU iconv has it).

struct Input {
  std::string label;                 // in messages: "" for a single input, else " of 'FILE'"
  TalqOSUtils::ChInputStream* file;  // nullptr: standard input
  std::string name;
};

class Conversion {
 public:
  Conversion(Id from, Id to, bool omitInvalid)
      : from_(CodecFor(from)),
        to_(CodecFor(to)),
        policy_(omitInvalid ? Vandrel::Policy::kSkip : Vandrel::Policy::kStop),
        in_(new std::uint8_t[kCarry + kInBlock]),
        out_(new char[kOutBlock]) {}

  // Throws Failure at the first character that cannot be converted (unless
  // omitted), after writing the output before it.
  void Run(const Input& input) {
    std::uint64_t base = 0;  // offset in the input of in_[0]
    std::size_t held = 0;    // bytes in in_: a carried character, then a block
    Vandrel::TextEncoding from = from_.encoding;
    bool first = true;
    if (to_.withMark) {  // each input's text opens with its own mark, as GNU iconv writes it
      Flush();
      marked_ = false;
    }
    for (;;) {
      const std::size_t n = Read(input, in_.get() + held);
      held += n;
      const bool last = n == 0;
      const std::uint8_t* p = in_.get();
      const std::uint8_t* const end = p + held;
      if (from_.withMark && first && (held >= 2 || last)) {
        // Each input's own mark says its order, and is no character.
        first = false;
        if (held >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF))) {
          from = p[0] == 0xFF ? Vandrel::TextEncoding::kUtf16LE : Vandrel::TextEncoding::kUtf16BE;
          p += 2;
        }
      }
      for (;;) {
        // Never "last": a character cut by the end is GNU's "incomplete", not invalid.
        const Vandrel::ConvertResult r =
            Vandrel::Convert(from, to_.encoding, p, static_cast<std::size_t>(end - p),
                             out_.get() + used_, kOutBlock - used_, policy_, false);
        used_ += r.written;
        p += r.read;
        const std::uint64_t at = base + static_cast<std::uint64_t>(p - in_.get());
        if (r.status == Vandrel::Status::kDone) break;
        if (r.status == Vandrel::Status::kTargetFull) {
          Flush();
        } else if (r.status == Vandrel::Status::kIncomplete) {
          if (!last) break;  // carried into the next block
          Fail("incomplete character at the end of the input, byte " + std::to_string(at), input);
        } else if (r.status == Vandrel::Status::kIllFormed) {
          Fail("illegal input sequence at byte " + std::to_string(at), input);
        } else if (r.status == Vandrel::Status::kUnrepresentable) {
          Fail("character " + CodePoint(r.character) + " at byte " + std::to_string(at) +
                   ", which " + to_.display + " cannot represent",
               input);
        } else {
          Fail("the library cannot convert " + from_.display + " to " + to_.display, input);
        }
      }
      const std::size_t consumed = static_cast<std::size_t>(p - in_.get());
      held -= consumed;
      base += consumed;
      std::memmove(in_.get(), p, held);
      if (last) return;
    }
  }

  void Flush() {
    if (used_ == 0) return;
    if (to_.withMark && !marked_) {  // the mark opens an output that has any text
      WriteOut("\xFF\xFE", 2);
      marked_ = true;
    }
    WriteOut(out_.get(), used_);
    used_ = 0;
  }

 private:
  std::size_t Read(const Input& input, std::uint8_t* buf) {
    if (input.file == nullptr) {
      const std::size_t n = std::fread(buf, 1, kInBlock, stdin);
      if (n == 0 && std::ferror(stdin)) {
        Flush();
        throw Failure{"cannot read standard input"};
      }
      return n;
    }
    const std::uint32_t n = input.file->read(buf, static_cast<std::uint32_t>(kInBlock));
    if (!input.file->good()) {
      Flush();
      throw Failure{"cannot read '" + input.name + "': " + DescribeOsError(input.file->error())};
    }
    return n;
  }

  static std::string CodePoint(char32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
  }

  [[noreturn]] void Fail(const std::string& what, const Input& input) {
    Flush();
    throw Failure{"cannot convert: " + what + input.label};
  }

  const Codec from_;
  const Codec to_;
  const Vandrel::Policy policy_;
  std::unique_ptr<std::uint8_t[]> in_;
  std::unique_ptr<char[]> out_;
  std::size_t used_ = 0;  // bytes in out_
  bool marked_ = false;   // this input's mark is written
};

int ListEncodings() {
  for (const Named& n : Names()) {
    std::string line;
    for (const std::string& alias : n.names) line += (line.empty() ? "" : " ") + alias;
    WriteOut(line + "\n");
  }
  return kOk;
}

}  // namespace

namespace {

// The value of an option given as "-f ENC", "-fENC", "--from-code=ENC" or
// "--from-code ENC" before any "--" (removed), or "" when absent.
std::string TakeCode(Args& args, const std::string& shortName, const std::string& longName) {
  std::string value = TakeOption(args, shortName);
  if (value.empty()) value = TakeOption(args, longName);
  for (auto at = args.begin(); value.empty() && at != args.end() && *at != "--"; ++at) {
    const std::string& a = *at;
    if (a.compare(0, longName.size() + 1, longName + "=") == 0) {
      value = a.substr(longName.size() + 1);
    } else if (a.size() > shortName.size() && a.compare(0, shortName.size(), shortName) == 0 &&
               a[1] != '-') {
      value = a.substr(shortName.size());
    } else {
      continue;
    }
    if (value.empty()) throw UsageError{a + " needs a value"};
    args.erase(at);
    break;
  }
  return value;
}

#if defined(_WIN32)
constexpr Id kPlatformText = Id::kPlatform;  // the ANSI code page
#else
constexpr Id kPlatformText = Id::kUtf8;
#endif

}  // namespace

int IconvCommand(Args args) {
  if (TakeFlag(args, "-l") || TakeFlag(args, "--list")) {
    ExpectCount(args, 0, 0);
    return ListEncodings();
  }
  const bool omitInvalid = TakeFlag(args, "-c");
  const std::string fromName = TakeCode(args, "-f", "--from-code");
  const std::string toName = TakeCode(args, "-t", "--to-code");
  const std::string output = TakeCode(args, "-o", "--output");
  // As GNU iconv: a missing side is the locale's, here the platform's text.
  const Id from = fromName.empty() ? kPlatformText : IdNamed(fromName);
  const Id to = toName.empty() ? kPlatformText : IdNamed(toName);
  ExpectCount(args, 0, static_cast<std::size_t>(-1));
  if (!output.empty()) OutputTo(ToGeneric(output), output);
  if (args.empty()) args.push_back("-");

  Conversion conversion(from, to, omitInvalid);
  int status = kOk;
  for (const std::string& name : args) {
    const std::string label = args.size() > 1 ? " of '" + name + "'" : "";
    if (name == "-") {
      conversion.Run(Input{label, nullptr, name});
      continue;
    }
    TalqOSUtils::ChInputStream file;
    file.open(ToGeneric(name));
    if (!file.isopen()) {
      // As GNU iconv: say so, go on with the next input, fail at the end.
      conversion.Flush();
      std::fprintf(stderr, "talq iconv: cannot open '%s': %s\n", name.c_str(),
                   DescribeOsError(file.error()).c_str());
      status = kFailed;
      continue;
    }
    conversion.Run(Input{label, &file, name});
  }
  conversion.Flush();
  return status;
}

}  // namespace talq
