#!/bin/bash
# talq end to end: each subcommand on data this script makes, exit codes and
# error messages, as a user at a shell sees them.
#   talq-test.sh <talq> [<wine-run>]     (with wine-run: the Windows build)
set -u
talq=$1
runner=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# A path of this script's as talq takes it: native, or Z:\... under Wine.
native() { if [ -n "$runner" ]; then printf 'Z:%s' "$1" | tr / '\\'; else printf '%s' "$1"; fi; }
run() { if [ -n "$runner" ]; then "$runner" "$talq" "$@"; else "$talq" "$@"; fi; }
# expect <name> <want status> <want stdout> <command...>
expect() {
  local name=$1 status=$2 want=$3; shift 3
  local out got
  run "$@" >"$work/stdout" 2>"$work/stderr"
  got=$?
  out=$(tr -d '\r' <"$work/stdout")
  if [ "$got" != "$status" ] || { [ "$want" != "*" ] && [ "$out" != "$want" ]; }; then
    printf 'FAIL %s: status %s (want %s), stdout:\n%s\n--- want:\n%s\n--- stderr:\n%s\n' \
      "$name" "$got" "$status" "$out" "$want" "$(cat "$work/stderr")"
    failures=$((failures + 1))
  fi
}
# expect_stderr <name> <pattern>: the last command's standard error matches.
expect_stderr() {
  if ! grep -q -- "$2" "$work/stderr"; then
    printf 'FAIL %s: stderr lacks "%s":\n%s\n' "$1" "$2" "$(cat "$work/stderr")"
    failures=$((failures + 1))
  fi
}
check() {  # check <name> <command...>: the command must succeed
  local name=$1; shift
  if ! "$@"; then printf 'FAIL %s\n' "$name"; failures=$((failures + 1)); fi
}

# --- usage -----------------------------------------------------------------
expect "help" 0 "*" --help
grep -q "iconv" <(run --help) || { echo "FAIL help lists no iconv"; failures=$((failures + 1)); }
expect "no command" 2 "*"
expect "unknown command" 2 "" frobnicate
expect_stderr "unknown command" "unknown command 'frobnicate'"
expect "command help" 0 "*" copy --help
expect "missing argument" 2 "" cat
expect_stderr "missing argument" "usage: talq cat"

# --- path ------------------------------------------------------------------
expect "to-nt" 0 $'C:\\a\\b\nx\\y' path to-nt /C:/a/b x/y
expect "to-generic" 0 "/C:/Windows/x" path to-generic 'C:\Windows\x'
expect "to-hfs" 0 "Disk:Docs:a.txt" path to-hfs /Disk/Docs/a.txt
expect "from-hfs" 0 "/Disk/Docs" path from-hfs Disk:Docs
expect "join" 0 "/a/b" path join /a b
expect "basename" 0 "b" path basename /a/b/
expect "dirname" 0 "/a" path dirname /a/b
expect "absolute" 0 "/a/x" path absolute ../x /a/b
expect "absolute drive" 0 "/C:x" path absolute C:x

# --- files -----------------------------------------------------------------
mkdir -p "$work/tree/sub"
printf 'hello' >"$work/tree/f.txt"
printf 'fork!' >"$work/tree/._f.txt"
touch -d "2020-01-02T03:04:05Z" "$work/tree/f.txt"
expect "ls files" 0 "*" ls --files "$(native "$work/tree")"
grep -qx -- "-            5 2020-01-02T03:04:05Z f.txt" <(tr -d '\r' <"$work/stdout") ||
  { echo "FAIL ls files: no line for f.txt"; failures=$((failures + 1)); }
! grep -q " sub$" "$work/stdout" || { echo "FAIL ls --files lists a directory"; failures=$((failures + 1)); }
expect "ls dirs" 0 "*" ls --dirs "$(native "$work/tree")"
lsout=$(run ls --dirs "$(native "$work/tree")" | tr -d '\r')
[[ $lsout == "d "*" sub" ]] || { echo "FAIL ls dirs: $lsout"; failures=$((failures + 1)); }
[ "$(run ls "$(native "$work/tree")" | wc -l)" = 3 ] || { echo "FAIL ls all: not 3 entries"; failures=$((failures + 1)); }
expect "ls missing" 1 "" ls "$(native "$work/nowhere")"
expect_stderr "ls missing" "cannot list"
expect "cat" 0 "hello" cat "$(native "$work/tree/f.txt")"
expect "cat fork companion" 0 "fork!" cat --fork "$(native "$work/tree/f.txt")"
expect "cat missing" 1 "" cat "$(native "$work/tree/missing.txt")"
expect_stderr "cat missing" "file not found"
expect "resolve plain file" 0 "*" resolve "$(native "$work/tree/f.txt")"
expect "appdir" 0 "*" appdir
[[ $(run appdir | tr -d '\r') == */ ]] || { echo "FAIL appdir has no trailing slash"; failures=$((failures + 1)); }
expect "resource in shared dir" 0 "*" resource f.txt --shared "$(native "$work/tree")"
[[ $(run resource f.txt --shared "$(native "$work/tree")" | tr -d '\r') == */tree/f.txt ]] ||
  { echo "FAIL resource path"; failures=$((failures + 1)); }
expect "resource missing" 1 "" resource talq-no-such-resource.txt

# copy: whole, then cancelled through the check function
head -c 9000000 /dev/urandom >"$work/big.bin"
expect "copy" 0 "" copy "$(native "$work/big.bin")" "$(native "$work/copy.bin")"
check "copy is byte for byte" cmp -s "$work/big.bin" "$work/copy.bin"
[ ! -s "$work/stderr" ] || { echo "FAIL copy drew progress on a non-terminal"; failures=$((failures + 1)); }
out=$(TALQ_CANCEL_AFTER_BYTES=1 WINEDEBUG=-all run copy "$(native "$work/big.bin")" "$(native "$work/cancelled.bin")" 2>&1)
status=$?
[ "$status" = 130 ] || { echo "FAIL cancelled copy: status $status: $out"; failures=$((failures + 1)); }
[ ! -e "$work/cancelled.bin" ] || { echo "FAIL cancelled copy left its destination"; failures=$((failures + 1)); }
expect "copy to missing dir" 1 "" copy "$(native "$work/tree/f.txt")" "$(native "$work/nowhere/x")"
expect_stderr "copy to missing dir" "path not found"

# --- iconv -----------------------------------------------------------------
for i in $(seq 0 255); do printf "\\$(printf %03o "$i")"; done >"$work/roman.bin"
run iconv -f macroman -t utf-8 "$(native "$work/roman.bin")" >"$work/roman.utf8"
run iconv -f utf-8 -t macroman <"$work/roman.utf8" >"$work/roman.back"
check "macroman round trip" cmp -s "$work/roman.bin" "$work/roman.back"
[ "$(printf '\x8e' | run iconv -f macroman -t utf-8)" = "é" ] || { echo "FAIL macroman 0x8E"; failures=$((failures + 1)); }
printf 'caf\xe9 au lait' >"$work/latin1.txt"
expect "url encode" 0 "caf%C3%A9%20au%20lait" iconv -f latin1 -t url "$(native "$work/latin1.txt")"
printf 'caf%%C3%%A9' >"$work/url.txt"
expect "url decode" 0 "café" iconv -f url -t utf-8 <"$work/url.txt"
expect "bad encoding" 2 "" iconv -f klingon -t utf-8
expect_stderr "bad encoding" "unknown encoding 'klingon'"
printf '\xc4\x89' >"$work/c-circumflex.txt"
expect "unrepresentable" 1 "" iconv -f utf-8 -t macroman "$(native "$work/c-circumflex.txt")"
expect_stderr "unrepresentable" "cannot represent"

if [ "$failures" -ne 0 ]; then echo "$failures talq check(s) failed"; exit 1; fi
echo "talq: all checks passed"
