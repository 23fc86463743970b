// Conversions into results.
//
// Sizing a result first reads the source once more (Vandrel's length
// functions), which costs far less than writing the result twice. The count
// also says where the text ends, so a large conversion reads its source
// twice: count, convert.

#include "text/Convert.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "Vandrel/Vandrel.h"
#include "VandrelRules/Url.h"

namespace TalqOSUtils {
namespace text {

// ---------------------------------------------------------------------------
// Lengths

std::size_t URLLength(const UniChar* p, std::size_t n) {
  // Every UTF-8 byte is escaped (3) except the unreserved ASCII ones (1).
  std::size_t kept = 0;
  for (std::size_t i = 0; i < n && p[i] != UniChar(); ++i) {
    kept += Vandrel::url::IsUnreserved(static_cast<std::uint32_t>(p[i]));
  }
  return 3 * Vandrel::Uni16CharUTF8Length(p, n) - 2 * kept;
}

// ---------------------------------------------------------------------------
// UTF-8 <=> UTF-16

void DecodeUTF8(const char* bytes, std::size_t n, UniString& out) {
  const std::uint32_t needed = NeededCount(n, 1);  // sized with the mark
  const char* src = HasUTF8Mark(bytes, n) ? bytes + kUTF8MarkLength : bytes;
  if (needed <= kInlineCount) {
    ScratchBuffer<UniChar> units(needed);
    const int written = Vandrel::UTF8ToUni16Char(src, units.data(), units.capacity());
    out.assign(units.data(), ConvertedLength(units.data(), units.capacity(), written));
    return;
  }
  // A NUL inside the text ends it, as it ends Vandrel's reading; the count
  // then only sizes the result too large, and the result is cut to what the
  // converter, left to find the NUL, wrote.
  const std::size_t m = n - static_cast<std::size_t>(src - bytes);
  bool nul = false;
  const std::size_t units = Vandrel::UTF8Uni16CharLengthAndNul(src, m, &nul);
  ConvertInto(out, units, m, [src, m, nul](UniChar* dst, std::size_t capacity) {
    return nul ? Vandrel::UTF8ToUni16Char(src, dst, capacity)
               : Vandrel::UTF8ToUni16CharSized(src, m, dst, capacity);
  });
}

namespace {

// Marks: one is removed as ProcessBOM does, then one more from what is left,
// as a wide-string UnicodeString built from that would. Both removals reduce
// to "skip one or two units, byte-swap the rest or not".
struct Marks {
  std::size_t skip = 0;
  bool swap = false;
};

Marks LeadingMarks(const UniChar* p, std::size_t n) {
  Marks marks;
  if (n > 0 && IsMarkUnit(p[0])) {
    marks.skip = 1;
    marks.swap = p[0] == kSwappedMark;
    if (n > 1) {
      const UniChar second = marks.swap ? SwapUnit(p[1]) : p[1];
      if (IsMarkUnit(second)) {
        marks.skip = 2;
        if (second == kSwappedMark) marks.swap = !marks.swap;
      }
    }
  }
  return marks;
}

// Calls finish(q, m) with the NUL-terminated units to encode and a count
// they hold no more than (q[m] is NUL), once the marks are handled; a swap
// happens in place when p is writable, else in WorkUnits.
template <typename Finish>
void WithoutMarks(const UniChar* p, std::size_t n, UniChar* writable, Finish&& finish) {
  const Marks marks = LeadingMarks(p, n);
  const UniChar* q = p + marks.skip;
  const std::size_t m = n - marks.skip;
  if (!marks.swap) {
    finish(q, m);
  } else if (writable == p) {
    SwapUnits(q, m, writable + marks.skip);
    finish(q, m);
  } else {
    WorkUnits units(NeededCount(m, 1));
    SwapUnits(q, m, units.data());
    units.data()[m] = UniChar();
    finish(units.data(), m);
  }
}

// The short form: everything in ScratchBuffers, as sink(bytes, count).
template <typename Sink>
void EncodeShort(const UniChar* p, std::size_t n, std::uint32_t needed, Sink&& sink) {
  ScratchBuffer<char> bytes(needed);
  const Marks marks = LeadingMarks(p, n);
  int written;
  if (marks.swap) {
    ScratchBuffer<UniChar> units(n, 1);
    SwapUnits(p + marks.skip, n - marks.skip, units.data());
    units.data()[n - marks.skip] = UniChar();
    written = Vandrel::Uni16CharToUTF8(units.data(), bytes.data(), bytes.capacity());
  } else {
    written = Vandrel::Uni16CharToUTF8(p + marks.skip, bytes.data(), bytes.capacity());
  }
  sink(bytes.data(), ConvertedLength(bytes.data(), bytes.capacity(), written));
}

// Copies count elements (NUL excluded) to dst, cut to size - 1, and terminates.
void CopyTerminated(const char* src, std::size_t count, char* dst, int size) {
  const std::size_t n = std::min(count, static_cast<std::size_t>(size) - 1);
  std::memcpy(dst, src, n);
  dst[n] = '\0';
}

}  // namespace

void EncodeUTF8(const UniChar* p, std::size_t n, std::string& out, UniChar* writable) {
  const std::uint32_t needed = NeededCount(n, 3);
  if (needed <= kInlineCount) {
    EncodeShort(p, n, needed,
                [&](const char* bytes, std::size_t count) { out.assign(bytes, count); });
    return;
  }
  WithoutMarks(p, n, writable, [&](const UniChar* q, std::size_t m) {
    std::size_t units = 0;  // up to a NUL, where q[units] is NUL
    const std::size_t bytes = Vandrel::Uni16CharUTF8LengthAndEnd(q, m, &units);
    ConvertInto(out, bytes, 3 * m, [q, units](char* dst, std::size_t capacity) {
      return Vandrel::Uni16CharToUTF8Sized(q, units, dst, capacity);
    });
  });
}

void EncodeUTF8(const UniChar* p, std::size_t n, char* dst, int size) {
  const std::uint32_t needed = NeededCount(n, 3);
  if (needed <= kInlineCount) {
    EncodeShort(p, n, needed, [&](const char* bytes, std::size_t count) {
      CopyTerminated(bytes, count, dst, size);
    });
    return;
  }
  WithoutMarks(p, n, nullptr, [&](const UniChar* q, std::size_t m) {
    std::size_t units = 0;
    const std::size_t length = Vandrel::Uni16CharUTF8LengthAndEnd(q, m, &units);
    const auto room = static_cast<std::size_t>(size);
    if (length < room) {
      Vandrel::Uni16CharToUTF8Sized(q, units, dst, room);
      return;
    }
    // Cut: whole characters up to at least size - 1 bytes (no character
    // takes more than four), then the first size - 1 of them.
    ScratchBuffer<char> bytes(static_cast<std::uint32_t>(std::min(length, room + 3) + 1));
    const int written = Vandrel::Uni16CharToUTF8(q, bytes.data(), bytes.capacity());
    CopyTerminated(bytes.data(), ConvertedLength(bytes.data(), bytes.capacity(), written), dst,
                   size);
  });
}

// ---------------------------------------------------------------------------
// Narrow read-outs

bool ReadOut(ReadOutFn convert, std::uint32_t bytesPerUnit, ReadOutLength length, const UniChar* p,
             std::size_t n, bool failureCounts, std::string& out) {
  const std::uint32_t needed = NeededCount(n, bytesPerUnit);
  int result;
  if (needed <= kInlineCount) {
    ScratchBuffer<char> bytes(needed);
    result = convert(p, bytes.data(), bytes.capacity());
    if (failureCounts && result == -1) return false;
    out.assign(bytes.data(), TerminatedLength(bytes.data(), bytes.capacity()));
    return true;
  }
  // A strict encoder fails for a character it lacks, never for want of
  // room past the first guess, so it is not run twice.
  const std::size_t guess = length(p, n);
  result = ConvertInto(out, guess, failureCounts ? guess : bytesPerUnit * n,
                       [&](char* dst, std::size_t capacity) { return convert(p, dst, capacity); });
  if (failureCounts && result == -1) {
    out.clear();
    return false;
  }
  return true;
}

}  // namespace text
}  // namespace TalqOSUtils
