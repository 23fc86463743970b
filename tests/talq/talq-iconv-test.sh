#!/bin/bash
# talq iconv end to end, with GNU iconv (glibc) as the oracle: every byte of
# the code pages, round trips, characters and bad input cut by the reading
# blocks, error offsets and what is written before them, -c, the names and
# their aliases, -l, standard input and several files.
#   talq-iconv-test.sh <talq> [<wine-run>]     (with wine-run: the Windows build)
set -u
export LC_ALL=C  # bytes, not characters, for tr, grep, head and ${#var}
talq=$1
runner=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
command -v iconv >/dev/null || { echo "talq iconv: GNU iconv not installed"; exit 1; }

native() { if [ -n "$runner" ]; then printf 'Z:%s' "$1" | tr / '\\'; else printf '%s' "$1"; fi; }
run() { if [ -n "$runner" ]; then "$runner" "$talq" "$@"; else "$talq" "$@"; fi; }
fail() { printf 'FAIL %s\n' "$*"; failures=$((failures + 1)); }
# repeat <bytes> <count>: the bytes <count> times.
repeat() { yes -- "$1" | tr -d '\n' | head -c $((${#1} * $2)); }
# The error of a run's standard error: "illegal N", "incomplete" or "none".
# GNU says "illegal input sequence at position N" for bad input and for a
# character the target lacks alike; talq names the byte in both.
kind() {
  if grep -q "incomplete" "$1"; then echo incomplete
  elif grep -q "position [0-9]" "$1"; then echo "illegal $(grep -o 'position [0-9]*' "$1" | grep -o '[0-9]*')"
  elif grep -q "at byte [0-9]" "$1"; then echo "illegal $(grep -o 'at byte [0-9]*' "$1" | grep -o '[0-9]*')"
  elif [ -s "$1" ]; then echo "other: $(head -n 1 "$1")"
  else echo none; fi
}
# same <name> <talq from> <talq to> <GNU from> <GNU to> <file> [option...]:
# talq and GNU iconv give the same bytes, exit status and error offset.
same() {
  local name=$1 tf=$2 tt=$3 gf=$4 gt=$5 file=$6
  shift 6
  local gs
  if [ "$gt" = UTF-8 ]; then  # by way of UTF-16: glibc checks UTF-8 to UTF-8 less
    iconv "$@" -f "$gf" -t UTF-16LE "$file" >"$work/gnu.u16" 2>"$work/gnu.err"
    gs=$?
    iconv -f UTF-16LE -t UTF-8 "$work/gnu.u16" >"$work/gnu.out"
  else
    iconv "$@" -f "$gf" -t "$gt" "$file" >"$work/gnu.out" 2>"$work/gnu.err"
    gs=$?
  fi
  run iconv "$@" -f "$tf" -t "$tt" "$(native "$file")" >"$work/talq.out" 2>"$work/talq.err"
  local ts=$?
  local gk tk
  gk=$(kind "$work/gnu.err")
  tk=$(kind "$work/talq.err")
  if [ "$gs" != "$ts" ] || [ "$gk" != "$tk" ] || ! cmp -s "$work/gnu.out" "$work/talq.out"; then
    fail "$name: talq status $ts, $tk, $(wc -c <"$work/talq.out") bytes; GNU status $gs, $gk," \
      "$(wc -c <"$work/gnu.out") bytes; talq said: $(cat "$work/talq.err")"
  fi
}
# talq_is <name> <want file> <talq arguments...>: talq succeeds with these bytes.
talq_is() {
  local name=$1 want=$2
  shift 2
  run iconv "$@" >"$work/talq.out" 2>"$work/talq.err" || fail "$name: status $?: $(cat "$work/talq.err")"
  cmp -s "$want" "$work/talq.out" || fail "$name: output differs"
}
# codepoints <hex>...: those characters in UTF-8, spelled by GNU iconv.
codepoints() {
  for u in "$@"; do
    local h
    h=$(printf %06x $((0x$u)))
    printf "\\x00\\x${h:0:2}\\x${h:2:2}\\x${h:4:2}"
  done | iconv -f UTF-32BE -t UTF-8
}

for i in $(seq 0 255); do printf "\\$(printf %03o "$i")"; done >"$work/all.bin"

# --- every byte, and back -----------------------------------------------------
same "latin1, all bytes" latin1 utf-8 ISO-8859-1 UTF-8 "$work/all.bin"
cp "$work/talq.out" "$work/all-latin1.utf8"
same "latin1, back" utf-8 latin1 UTF-8 ISO-8859-1 "$work/all-latin1.utf8"
cmp -s "$work/all.bin" "$work/talq.out" || fail "latin1 round trip"

# UTF-16 as GNU iconv writes and reads it: "UTF-16" with the mark FF FE and little-endian, each
# input with its own mark; read in the order a mark says (and without one, little-endian); the
# -LE and -BE forms without a mark, U+FEFF in them a character. Pairs both ways; a lone
# surrogate or a cut unit fails, with -c too.
codepoints 61 e9 20ac 1f600 10ffff feff >"$work/wide.utf8"
for enc in UTF-16 UTF-16LE UTF-16BE; do
  same "to $enc" utf-8 "$enc" UTF-8 "$enc" "$work/wide.utf8"
  iconv -f UTF-8 -t "$enc" "$work/wide.utf8" >"$work/wide.$enc"
  same "from $enc" "$enc" utf-8 "$enc" UTF-8 "$work/wide.$enc"
done
same "to UTF-16, two inputs" utf-8 utf-16 UTF-8 UTF-16 "$work/wide.utf8" "$work/wide.utf8"
for bytes in 'fe ff 00 61' '00 61' '61 00 00 d8' '00 dc 61 00' '61 00 3d d8' '61'; do
  printf "$(printf '\\x%s' $bytes)" >"$work/u16.bin"
  same "from UTF-16: $bytes" utf-16 utf-8 UTF-16 UTF-8 "$work/u16.bin"
  same "from UTF-16LE: $bytes" utf-16le utf-8 UTF-16LE UTF-8 "$work/u16.bin"
done
same "from UTF-16BE, -c" utf-16be utf-8 UTF-16BE UTF-8 "$work/u16.bin" -c

# glibc's MACINTOSH differs from Apple's ROMAN.TXT (the library's table) at
# 0xC6 (GREEK CAPITAL DELTA, Apple INCREMENT) and 0xF0 (Apple logo): the
# other 254 bytes are checked against glibc, all 256 against ROMAN.TXT.
tr -d '\306\360' <"$work/all.bin" >"$work/roman254.bin"
same "macintosh, 254 bytes" macintosh utf-8 MACINTOSH UTF-8 "$work/roman254.bin"
cp "$work/talq.out" "$work/roman254.utf8"
same "macintosh, 254 back" utf-8 macintosh UTF-8 MACINTOSH "$work/roman254.utf8"
roman=$here/../../../shared/testdata/tables/ROMAN.TXT
if [ -f "$roman" ]; then
  units=$(for i in $(seq 0 255); do
    u=$(grep -i "^0x$(printf %02X "$i")[[:space:]]" "$roman" | awk '{print $2}')
    printf '%s ' "${u:-0x$(printf %02X "$i")}"
  done | sed 's/0x//g')
  # shellcheck disable=SC2086
  codepoints $units >"$work/roman.want"
  talq_is "macintosh, all bytes by ROMAN.TXT" "$work/roman.want" -f MacRoman -t UTF-8 "$(native "$work/all.bin")"
else
  echo "note: $roman absent: 0xC6 and 0xF0 checked by round trip only"
fi
run iconv -f mac -t utf-8 "$(native "$work/all.bin")" >"$work/roman.utf8"
talq_is "macintosh round trip" "$work/all.bin" -f utf-8 -t macintosh "$(native "$work/roman.utf8")"
printf '\x8e' >"$work/e-acute.mac"
printf '\xc3\xa9' >"$work/e-acute.want"
talq_is "macintosh 0x8E" "$work/e-acute.want" -f macroman -t utf-8 "$(native "$work/e-acute.mac")"

# The platform code page: Windows-1252 off Windows (glibc's CP1252 rejects the
# five bytes it leaves undefined; Windows reads them as the C1 control of the
# same value, as the library does), the ANSI code page on Windows.
run iconv -l | tr -d '\r' >"$work/list"
if grep -qw cp1252 "$work/list"; then
  tr -d '\201\215\217\220\235' <"$work/all.bin" >"$work/cp1252.bin"
  same "cp1252, 251 bytes" cp1252 utf-8 CP1252 UTF-8 "$work/cp1252.bin"
  same "cp1252, 251 back" WINDOWS-1252 utf-8 CP1252 UTF-8 "$work/cp1252.bin"
  printf '\201\215\217\220\235' >"$work/holes.bin"
  iconv -f ISO-8859-1 -t UTF-8 "$work/holes.bin" >"$work/holes.want"
  talq_is "cp1252 holes are C1 controls" "$work/holes.want" -f platform -t utf-8 "$(native "$work/holes.bin")"
  run iconv -f platform -t utf8 "$(native "$work/all.bin")" >"$work/platform.utf8"
  talq_is "platform round trip" "$work/all.bin" -f utf-8 -t platform "$(native "$work/platform.utf8")"
else
  echo "note: the platform code page is not 1252 here ($(grep '^platform' "$work/list")): not compared with glibc"
fi

# --- url -------------------------------------------------------------------
# The oracle: glibc's UTF-8, each byte outside A-Z a-z 0-9 - . _ ~ as %XX.
percent() { od -An -v -tx1 "$1" | tr -s ' \n' '\n\n' | grep . | while read -r x; do
  case $x in 2d | 2e | 3[0-9] | 4[1-9a-f] | 5[0-9a] | 5f | 6[1-9a-f] | 7[0-9a] | 7e) printf "\\x$x" ;;
    *) printf '%%%s' "${x^^}" ;; esac
done; }
iconv -f ISO-8859-1 -t UTF-8 "$work/all.bin" >"$work/all.utf8"
percent "$work/all.utf8" >"$work/all.url"
talq_is "url encode, all latin1 bytes" "$work/all.url" -f latin1 -t url "$(native "$work/all.bin")"
talq_is "url decode" "$work/all.utf8" -f url -t utf-8 "$(native "$work/all.url")"
sed -E 's/%([0-9A-F]{2})/%\L\1/g' "$work/all.url" >"$work/all-lower.url"
talq_is "url decode, lower-case hex" "$work/all.bin" -f URL -t latin1 "$(native "$work/all-lower.url")"
printf 'caf\xe9 au lait' >"$work/latin1.txt"
printf 'caf%%C3%%A9%%20au%%20lait' >"$work/latin1.url"
talq_is "url encode, text" "$work/latin1.url" -f latin1 -t url "$(native "$work/latin1.txt")"
iconv -f ISO-8859-1 -t UTF-8 "$work/latin1.txt" >"$work/want"
talq_is "url decode, text from stdin" "$work/want" -f url -t utf-8 <"$work/latin1.url"
printf 'a+b%%' >"$work/bad.url"
run iconv -f url -t utf-8 "$(native "$work/bad.url")" >"$work/talq.out" 2>"$work/talq.err"
[ $? = 1 ] && [ "$(cat "$work/talq.out")" = "a+b" ] && grep -q incomplete "$work/talq.err" ||
  fail "url cut escape: $(cat "$work/talq.err")"
printf 'ab%%4Gc%%zz%%C3%%28' >"$work/bad.url"
printf 'abGczz(' >"$work/bad.want"
talq_is "url -c drops bad escapes" "$work/bad.want" -c -f url -t utf-8 "$(native "$work/bad.url")"
run iconv -f url -t utf-8 "$(native "$work/bad.url")" >"$work/talq.out" 2>"$work/talq.err"
[ "$(kind "$work/talq.err")" = "illegal 2" ] && [ "$(cat "$work/talq.out")" = ab ] ||
  fail "url bad escape: $(cat "$work/talq.err")"

# --- across the reading blocks ----------------------------------------------
# Texts past 1 MiB whose characters straddle every power-of-two offset from
# 4 KiB up, whatever the block size: the pattern's length is odd.
blocks=$((((1 << 20) + 64)))
mkblock() { repeat "$1" $((blocks / ${#1} + 1)) >"$2"; }
mkblock "$(printf 'a\xc3\xa9')" "$work/split1"    # 3 bytes: odd powers cut the é
mkblock "$(printf '\xc3\xa9a')" "$work/split2"    # even powers
mkblock "$(printf '\xe2\x82\xac\xf0\x9f\x98\x80')" "$work/split3"  # 7: € and an emoji
same "latin1 across blocks, odd" utf-8 latin1 UTF-8 ISO-8859-1 "$work/split1"
same "latin1 across blocks, even" utf-8 latin1 UTF-8 ISO-8859-1 "$work/split2"
same "utf-8 across blocks" utf-8 utf-8 UTF-8 UTF-8 "$work/split3"
tr -d '\360\237\230\200' <"$work/split3" >"$work/euros"
same "macintosh across blocks" utf-8 mac UTF-8 MACINTOSH "$work/euros"
mkblock "%E2%82%AC" "$work/euros.url"  # 9 bytes: cut inside escapes and between them
head -c $((blocks / 9 * 3 + 3)) "$work/euros" >"$work/euros.want"
talq_is "url decode across blocks" "$work/euros.want" -f url -t utf-8 "$(native "$work/euros.url")"
talq_is "url encode across blocks" "$work/euros.url" -f utf-8 -t url "$(native "$work/euros.want")"
run iconv -f utf-8 -t utf-8 - <"$work/split3" >"$work/talq.out" || fail "stdin across blocks: status $?"
cmp -s "$work/split3" "$work/talq.out" || fail "stdin across blocks: output differs"

# Bad input cut by a block edge: E2 82 then 'A', the edge after E2 or after 82.
for k in $(seq 12 20); do
  edge=$((1 << k)) cut=$((k % 2 + 1))
  { head -c $((edge - cut)) /dev/zero | tr '\0' x; printf '\xe2\x82Ayz'; } >"$work/bad.$k"
  same "bad input at the 2^$k edge" utf-8 latin1 UTF-8 ISO-8859-1 "$work/bad.$k"
  { head -c $((edge - 2)) /dev/zero | tr '\0' x; printf '%%4Gyz'; } >"$work/bad.url"
  run iconv -f url -t utf-8 "$(native "$work/bad.url")" >"$work/talq.out" 2>"$work/talq.err"
  [ "$(kind "$work/talq.err")" = "illegal $((edge - 2))" ] && [ "$(wc -c <"$work/talq.out")" = $((edge - 2)) ] ||
    fail "bad escape at the 2^$k edge: $(cat "$work/talq.err")"
done
cat "$work"/bad.1[2-9] "$work/bad.20" >"$work/bad.all"
same "-c across blocks" utf-8 latin1 UTF-8 ISO-8859-1 "$work/bad.all" -c

# --- errors: GNU's offsets and output, -c -------------------------------------
# Bad UTF-8 (overlong, surrogate, past F4, stray, cut, cut by the end, past
# U+10FFFF, overlong in four bytes) to UTF-8, so that none is caught as
# unrepresentable instead; then characters Latin-1 lacks, and NULs.
n=0
for text in 'ab\xc0\x80z' 'ab\xe0\x80\x80z' 'ab\xed\xa0\x80z' 'ab\xf5\x80\x80\x80z' 'ab\x80z' \
  'ab\xe2\x82z' 'ab\xf0\x9f\x98z' 'ab\xc3' 'ab\xf0\x9f' 'a\xc4\x89b' 'a\xf0\x9f\x98\x80b' \
  'a\x00\xc3\xa9\x00b' 'ab\xf4\x90\x80\x80z' 'ab\xf0\x8f\xbf\xbfz'; do
  n=$((n + 1))
  to=UTF-8
  [ $n -ge 10 ] && [ $n -le 12 ] && to=ISO-8859-1
  printf "$text" >"$work/err.$n"
  same "error $n ($text)" utf-8 $to UTF-8 $to "$work/err.$n"
done
cat "$work"/err.[1-7] "$work"/err.1[34] >"$work/bad-utf8"
same "-c drops bad input, exits 0 as GNU" utf-8 utf-8 UTF-8 UTF-8 "$work/bad-utf8" -c
printf 'x\xc4\x89' >"$work/c-circumflex.txt"
same "unrepresentable in macintosh" utf-8 macroman UTF-8 MACINTOSH "$work/c-circumflex.txt"
grep -q "U+0109 at byte 1, which Mac OS Roman cannot represent" "$work/talq.err" ||
  fail "unrepresentable message: $(cat "$work/talq.err")"
cat "$work"/err.[1-7] "$work/err.10" "$work/err.11" "$work/err.12" "$work/c-circumflex.txt" >"$work/errs"
same "-c drops, exits 0 as GNU" utf-8 latin1 UTF-8 ISO-8859-1 "$work/errs" -c
same "-c to macintosh" utf-8 mac UTF-8 MACINTOSH "$work/errs" -c
same "-c: a character cut by the end still fails, as GNU" utf-8 latin1 UTF-8 ISO-8859-1 "$work/err.9" -c

# --- names ---------------------------------------------------------------------
printf 'caf\xc3\xa9 \xe2\x82\xac' >"$work/names.txt"  # é in all, € in macintosh and cp1252
for pair in "UTF-8 UTF-8" "utf8 UTF-8" "Utf-8 UTF-8" "ISO-8859-1 ISO-8859-1" "iso_8859-1 ISO-8859-1" \
  "LATIN1 ISO-8859-1" "l1 ISO-8859-1" "Macintosh MACINTOSH" "MacRoman MACINTOSH" "MAC MACINTOSH"; do
  set -- $pair
  same "name $1" utf-8 "$1" UTF-8 "$2" "$work/names.txt" -c
  grep -qiw -- "$1" "$work/list" || fail "-l lacks $1"
done
if grep -qw cp1252 "$work/list"; then
  same "name CP1252" utf-8 CP1252 UTF-8 CP1252 "$work/names.txt"
  same "name Platform" utf-8 Platform UTF-8 CP1252 "$work/names.txt"
  grep -q "^platform .*windows-1252" "$work/list" || fail "-l: windows-1252 is not an alias of platform"
fi
for line in "utf-8 utf8" "iso-8859-1 .*latin1 l1" "macintosh macroman mac" "url" "utf-16 utf16" \
  "utf-16le utf16le" "utf-16be utf16be" "platform"; do
  grep -q "^$line" "$work/list" || fail "-l has no line '$line'"
done
[ "$(wc -l <"$work/list")" = 8 ] || fail "-l: $(wc -l <"$work/list") lines"
run iconv -f klingon -t utf-8 >"$work/talq.out" 2>"$work/talq.err" </dev/null
[ $? = 2 ] && grep -q "unknown encoding 'klingon'.*utf-8, iso-8859-1, macintosh, url, utf-16, utf-16le, utf-16be, platform" "$work/talq.err" ||
  fail "unknown encoding: $(cat "$work/talq.err")"
# As GNU iconv: a missing -f or -t is the platform's text (UTF-8 on Linux, the ANSI code page on
# Windows), --from-code=, --to-code= and -fENC name encodings too, and -o writes a file.
printf 'caf\xc3\xa9' >"$work/cafe.utf8"
run iconv --from-code=utf-8 -tlatin1 -o "$(native "$work/cafe.latin1")" "$(native "$work/cafe.utf8")" ||
  fail "--from-code= -tENC -o"
[ "$(od -An -tx1 "$work/cafe.latin1" | tr -d ' ')" = 636166e9 ] || fail "-o wrote $(od -An -tx1 "$work/cafe.latin1")"
[ -n "$runner" ] || [ "$(run iconv --to-code=latin1 "$work/cafe.utf8" | od -An -tx1 | tr -d ' ')" = 636166e9 ] ||
  fail "no -f: not UTF-8"
run iconv -f utf-8 -o "$(native "$work/nowhere/x")" "$(native "$work/cafe.utf8")" 2>"$work/talq.err"
[ $? = 1 ] && grep -q "cannot write" "$work/talq.err" || fail "-o into a missing folder"

# --- standard input, several files ------------------------------------------------
iconv -f UTF-8 -t ISO-8859-1 <"$work/all-latin1.utf8" >"$work/want"
talq_is "no FILE is stdin" "$work/want" -f utf-8 -t latin1 <"$work/all-latin1.utf8"
talq_is "- is stdin" "$work/want" -f utf-8 -t latin1 - <"$work/all-latin1.utf8"
iconv -f UTF-8 -t ISO-8859-1 "$work/split1" - "$work/all-latin1.utf8" <"$work/split2" >"$work/want"
talq_is "files and - concatenated" "$work/want" -t latin1 -f utf-8 "$(native "$work/split1")" - \
  "$(native "$work/all-latin1.utf8")" <"$work/split2"
iconv -f UTF-8 -t ISO-8859-1 "$work/all-latin1.utf8" >"$work/want"
run iconv -f utf-8 -t latin1 "$(native "$work/missing")" "$(native "$work/all-latin1.utf8")" \
  >"$work/talq.out" 2>"$work/talq.err"
[ $? = 1 ] && grep -q "cannot open.*missing.*file not found" "$work/talq.err" && cmp -s "$work/want" "$work/talq.out" ||
  fail "a missing file: fails at the end, after the others: $(cat "$work/talq.err")"
run iconv -f utf-8 -t latin1 "$(native "$work/err.8")" "$(native "$work/all-latin1.utf8")" \
  >"$work/talq.out" 2>"$work/talq.err"
[ $? = 1 ] && grep -q "incomplete.*byte 2 of '.*err.8'" "$work/talq.err" && [ "$(cat "$work/talq.out")" = ab ] ||
  fail "a character cut by the end of a file stops there: $(cat "$work/talq.err")"

if [ "$failures" -ne 0 ]; then echo "$failures talq iconv check(s) failed"; exit 1; fi
echo "talq iconv: all checks passed"
