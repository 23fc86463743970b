#!/bin/bash
# talq end to end: each subcommand on data this script makes, exit codes and
# error messages, as a user at a shell sees them.
#   talq-test.sh <talq> [<wine-run>]     (with wine-run: the Windows build)
set -u
talq=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
runner=${2:-}
[ -z "$runner" ] || runner=$(cd "$(dirname "$runner")" && pwd)/$(basename "$runner")
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
  out=
  [ "$want" = "*" ] || out=$(tr -d '\r' <"$work/stdout")
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
expect "missing argument" 2 "" copy x
expect_stderr "missing argument" "usage: talq copy"

# --- path ------------------------------------------------------------------
expect "to-nt" 0 $'C:\\a\\b\nx\\y' path to-nt /C:/a/b x/y
expect "to-generic" 0 "/C:/Windows/x" path to-generic 'C:\Windows\x'
expect "from-nt" 0 "/C:/Windows/x" path from-nt 'C:\Windows\x'
expect "from-unix" 0 "/usr/a b" path from-unix '/usr/a b'
expect "to-hfs" 0 "Disk:Docs:a.txt" path to-hfs /Disk/Docs/a.txt
expect "from-hfs" 0 "/Disk/Docs" path from-hfs Disk:Docs
expect "join" 0 "/a/b" path join /a b
expect "basename" 0 "b" path basename /a/b/
expect "dirname" 0 "/a" path dirname /a/b
expect "absolute" 0 "/a/x" path absolute ../x /a/b
expect "absolute drive" 0 "/C:x" path absolute --app C:x
# Without BASE against the current directory, as a shell user means; --app
# against talq's own directory.
here=$(cd "$work" && run path absolute x | tr -d '\r')
[[ $here == */x && $here != */bin/x ]] || { echo "FAIL absolute against cwd: $here"; failures=$((failures + 1)); }
[ "$(run path absolute --app x | tr -d '\r')" = "$(run appdir | tr -d '\r')x" ] ||
  { echo "FAIL absolute --app"; failures=$((failures + 1)); }

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
# The habits of cat(1) and ls(1): "-" (or nothing) is standard input, "--" ends the options,
# ls lists the current directory, or several under headings.
expect "cat stdin" 0 "in:hello" cat - "$(native "$work/tree/f.txt")" < <(printf "in:")
expect "cat no file" 0 "piped" cat <<<"piped"
printf 'dash' >"$work/-n"
[ "$(cd "$work" && run cat -- -n)" = dash ] || { echo "FAIL cat -- -n"; failures=$((failures + 1)); }
expect "cat unknown option" 2 "" cat -n
[ "$(cd "$work/tree" && run ls --dirs | tr -d '\r' | awk '{print $NF}')" = sub ] ||
  { echo "FAIL ls without DIR"; failures=$((failures + 1)); }
expect "ls several" 0 "*" ls --dirs "$(native "$work/tree")" "$(native "$work/tree/sub")"
[ "$(grep -c ':$' "$work/stdout")" = 2 ] || { echo "FAIL ls several: no headings"; failures=$((failures + 1)); }
# Several files, as cat(1): one that fails is reported, the others print.
expect "cat several" 1 "hellohello" cat "$(native "$work/tree/f.txt")" "$(native "$work/tree/sub")" \
  "$(native "$work/tree/f.txt")"
expect_stderr "cat several" "'.*sub': it is a directory"
long="$work/$(printf 'n%.0s' {1..250})"
expect "cat too long" 1 "" cat "$(native "$long")"
expect_stderr "cat too long" "at most 255 bytes"
# resolve: a shortcut's target, or exit 1 (--keep: the library's answer, the path).
expect "resolve plain file" 1 "" resolve "$(native "$work/tree/f.txt")"
expect_stderr "resolve plain file" "is not a shortcut"
expect "resolve --keep" 0 "*" resolve --keep "$(native "$work/tree/f.txt")"
[[ $(tr -d '\r' <"$work/stdout") == */tree/f.txt ]] || { echo "FAIL resolve --keep"; failures=$((failures + 1)); }
expect "resolve missing" 1 "" resolve "$(native "$work/tree/none")"
expect_stderr "resolve missing" "does not exist"
expect "appdir" 0 "*" appdir
[[ $(run appdir | tr -d '\r') == */ ]] || { echo "FAIL appdir has no trailing slash"; failures=$((failures + 1)); }
expect "resource in shared dir" 0 "*" resource f.txt --shared "$(native "$work/tree")"
[[ $(run resource f.txt --shared "$(native "$work/tree")" | tr -d '\r') == */tree/f.txt ]] ||
  { echo "FAIL resource path"; failures=$((failures + 1)); }
expect "resource missing" 1 "" resource talq-no-such-resource.txt --shared "$(native "$work/tree")"
[ "$(grep -o "'[^']*tree'" "$work/stderr" | wc -l)" = 1 ] ||
  { echo "FAIL resource names each place once: $(cat "$work/stderr")"; failures=$((failures + 1)); }

# copy: whole, then cancelled through the check function
head -c 9000000 /dev/urandom >"$work/big.bin"
expect "copy" 0 "" copy "$(native "$work/big.bin")" "$(native "$work/copy.bin")"
check "copy is byte for byte" cmp -s "$work/big.bin" "$work/copy.bin"
[ ! -s "$work/stderr" ] || { echo "FAIL copy drew progress on a non-terminal"; failures=$((failures + 1)); }
# Wine's CopyFileExW calls no progress routine, so there a copy cannot be cancelled.
cancels=1
[ -z "$runner" ] || { cancels=0; echo "talq copy cancel checks skipped: Wine's CopyFileExW reports no progress"; }
if [ "$cancels" = 1 ]; then
  out=$(TALQ_CANCEL_AFTER_BYTES=1 run copy "$(native "$work/big.bin")" "$(native "$work/cancelled.bin")" 2>&1)
  status=$?
  [ "$status" = 130 ] || { echo "FAIL cancelled copy: status $status: $out"; failures=$((failures + 1)); }
  [ ! -e "$work/cancelled.bin" ] || { echo "FAIL cancelled copy left its destination"; failures=$((failures + 1)); }
fi
expect "copy to missing dir" 1 "" copy "$(native "$work/tree/f.txt")" "$(native "$work/nowhere/x")"
expect_stderr "copy to missing dir" "no such directory"

# copy never loses data: the same file is refused (also through a hard
# link), and a destination is replaced only by a whole copy.
printf 'precious' >"$work/keep.txt"
expect "copy onto itself" 1 "" copy "$(native "$work/keep.txt")" "$(native "$work/keep.txt")"
expect_stderr "copy onto itself" "are the same file"
ln "$work/keep.txt" "$work/keep-link.txt"
expect "copy onto a hard link" 1 "" copy "$(native "$work/keep.txt")" "$(native "$work/keep-link.txt")"
[ "$(cat "$work/keep.txt")" = precious ] || { echo "FAIL copy onto itself lost data"; failures=$((failures + 1)); }
# A file with other hard links is written in place, as cp writes it: they see the new content.
printf 'linked' >"$work/linked.txt"
expect "copy onto a linked file" 0 "" copy "$(native "$work/linked.txt")" "$(native "$work/keep-link.txt")"
[ "$(cat "$work/keep.txt")" = linked ] || { echo "FAIL hard link kept the old content"; failures=$((failures + 1)); }
rm "$work/keep-link.txt"
printf 'precious' >"$work/keep.txt"
if [ "$cancels" = 1 ]; then
  TALQ_CANCEL_AFTER_BYTES=1 run copy "$(native "$work/big.bin")" "$(native "$work/keep.txt")" >/dev/null 2>&1
  status=$?
  [ "$status" = 130 ] && [ "$(cat "$work/keep.txt")" = precious ] ||
    { echo "FAIL cancelled copy onto a file: status $status, $(head -c 20 "$work/keep.txt")"; failures=$((failures + 1)); }
fi
# ... and, natively, dies by that signal once cleaned up, so that a shell's loop ends too.
if [ -z "$runner" ]; then
  died=$(TALQ_CANCEL_AFTER_BYTES=1 python3 -c 'import subprocess, sys
print(subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode)' \
    "$talq" copy "$work/big.bin" "$work/keep.txt")
  [ "$died" = -2 ] || { echo "FAIL cancelled copy: returncode $died, not death by SIGINT"; failures=$((failures + 1)); }
fi
chmod 640 "$work/keep.txt"
expect "copy replaces" 0 "" copy "$(native "$work/tree/f.txt")" "$(native "$work/keep.txt")"
[ "$(cat "$work/keep.txt")" = hello ] || { echo "FAIL copy did not replace"; failures=$((failures + 1)); }
[ -n "$runner" ] || [ "$(stat -c %a "$work/keep.txt")" = 640 ] ||
  { echo "FAIL replaced file lost its mode"; failures=$((failures + 1)); }
# A destination the user may not write is refused, as cp does (root writes anything).
chmod 444 "$work/keep.txt"
if [ -n "$runner" ] || [ "$(id -u)" != 0 ]; then
  expect "copy onto a read-only file" 1 "" copy "$(native "$work/tree/f.txt")" "$(native "$work/keep.txt")"
  expect_stderr "copy onto a read-only file" "access denied"
fi
chmod 644 "$work/keep.txt"
expect "copy into dir" 0 "" copy "$(native "$work/tree/f.txt")" "$(native "$work/tree/sub")"
expect "copy into dir/" 0 "" copy "$(native "$work/big.bin")" "$(native "$work/tree/sub")/"
check "copy into dir" cmp -s "$work/tree/f.txt" "$work/tree/sub/f.txt"
check "copy into dir/" cmp -s "$work/big.bin" "$work/tree/sub/big.bin"
expect "copy a directory" 1 "" copy "$(native "$work/tree/sub")" "$(native "$work/x")"
expect_stderr "copy a directory" "is a directory"
# The fork variant: the destination file exists afterwards, its fork holds the data.
expect "copy --fork" 0 "" copy --fork "$(native "$work/tree/f.txt")" "$(native "$work/forkcopy.txt")"
[ -e "$work/forkcopy.txt" ] || { echo "FAIL copy --fork made no file"; failures=$((failures + 1)); }
expect "copy --fork read back" 0 "fork!" cat --fork "$(native "$work/forkcopy.txt")"
printf 'data' >"$work/forkcopy.txt"
printf 'data' >"$work/bigfork.txt"
cp "$work/big.bin" "$work/._bigfork.txt"
expect "copy --fork keeps the data" 0 "" copy --fork "$(native "$work/bigfork.txt")" "$(native "$work/forkcopy.txt")"
[ "$(cat "$work/forkcopy.txt")" = data ] || { echo "FAIL copy --fork changed the data"; failures=$((failures + 1)); }
expect "copy --fork big" 0 "*" cat --fork "$(native "$work/forkcopy.txt")"
check "copy --fork big" cmp -s "$work/big.bin" "$work/stdout"
ls -a "$work" "$work/tree/sub" | grep -q 'talq-' && { echo "FAIL a temporary was left"; failures=$((failures + 1)); }

# --- Linux only -----------------------------------------------------------
if [ -z "$runner" ]; then
  # A stop signal cancels the copy (exit 128+N) and leaves the destination.
  # The source is a pipe fed slowly, so the copy is surely running.
  mkfifo "$work/pipe"
  # Any signal, caught or not, leaves no named file: the copy has none till it is whole.
  for sig in TERM HUP INT USR1 KILL; do
    for dst in dst.bin new.bin; do
      rm -f "$work/new.bin"
      printf 'old' >"$work/dst.bin"
      { head -c 1048576 /dev/zero; sleep 1; head -c 1048576 /dev/zero; } >"$work/pipe" &
      feeder=$!
      "$talq" copy "$work/pipe" "$work/$dst" 2>"$work/stderr" &
      copier=$!
      # Running once it holds its unnamed copy (O_TMPFILE) or a temporary beside the target.
      for _ in $(seq 100); do
        ls -l "/proc/$copier/fd" 2>/dev/null | grep -q "$work/.*\(deleted\|talq-\)" && break
        sleep 0.05
      done
      kill -"$sig" "$copier"
      { wait "$copier"; } 2>/dev/null  # it dies by the signal: no "Hangup" from the shell
      status=$?
      kill "$feeder" 2>/dev/null
      wait "$feeder" 2>/dev/null
      want=$((128 + $(kill -l "$sig")))
      [ "$status" = "$want" ] && [ "$(cat "$work/dst.bin")" = old ] && [ ! -e "$work/new.bin" ] ||
        { echo "FAIL SIG$sig onto $dst: status $status (want $want)"; failures=$((failures + 1)); }
      case $sig in TERM | HUP | INT) expect_stderr "SIG$sig" "cancelled by SIG$sig" ;; esac
    done
  done
  ls -a "$work" | grep -q 'talq-' && { echo "FAIL a signalled copy left its temporary"; failures=$((failures + 1)); }

  # A symbolic link as destination is written through and stays a link.
  printf 'before' >"$work/pointed.txt"
  ln -s pointed.txt "$work/link.txt"
  expect "copy onto a link" 0 "" copy "$work/tree/f.txt" "$work/link.txt"
  [ -L "$work/link.txt" ] && [ "$(cat "$work/pointed.txt")" = hello ] ||
    { echo "FAIL copy onto a link replaced the link"; failures=$((failures + 1)); }

  # What cp leaves: a new file takes the source's mode less the umask; an existing one keeps its
  # mode and owner; a link that leads nowhere is refused; a writable file in a read-only folder
  # is written in place; holes stay holes.
  for mode in 600 755; do
    printf 'm' >"$work/m$mode" && chmod "$mode" "$work/m$mode"
    (umask 022 && "$talq" copy "$work/m$mode" "$work/c$mode")
    [ "$(stat -c %a "$work/c$mode")" = "$mode" ] || { echo "FAIL new copy of $mode"; failures=$((failures + 1)); }
  done
  (umask 077 && "$talq" copy "$work/m755" "$work/c700")
  [ "$(stat -c %a "$work/c700")" = 700 ] || { echo "FAIL umask not applied"; failures=$((failures + 1)); }
  "$talq" copy "$work/m755" "$work/c600"
  [ "$(stat -c %a "$work/c600")" = 600 ] || { echo "FAIL replaced file's mode"; failures=$((failures + 1)); }
  if [ "$(id -u)" = 0 ]; then
    chown nobody "$work/c600"
    "$talq" copy "$work/tree/f.txt" "$work/c600"
    [ "$(stat -c %U:%a "$work/c600")" = nobody:600 ] && [ "$(cat "$work/c600")" = hello ] ||
      { echo "FAIL root replacing another's file: $(stat -c %U:%a "$work/c600")"; failures=$((failures + 1)); }
  fi
  ln -s nowhere "$work/dangling"
  expect "copy onto a dangling link" 1 "" copy "$work/tree/f.txt" "$work/dangling"
  expect_stderr "copy onto a dangling link" "leads nowhere"
  [ -L "$work/dangling" ] && [ ! -e "$work/nowhere" ] ||
    { echo "FAIL copy wrote through a dangling link"; failures=$((failures + 1)); }
  mkdir "$work/ro" && printf 'old' >"$work/ro/w.txt" && chmod 555 "$work/ro"
  expect "copy into a read-only folder's file" 0 "" copy "$work/tree/f.txt" "$work/ro/w.txt"
  [ "$(cat "$work/ro/w.txt")" = hello ] || { echo "FAIL read-only folder's file"; failures=$((failures + 1)); }
  chmod 755 "$work/ro"
  truncate -s 1G "$work/sparse" && printf 'end' >>"$work/sparse"
  expect "copy a sparse file" 0 "" copy "$work/sparse" "$work/sparse2"
  [ "$(stat -c %b "$work/sparse2")" -le "$(stat -c %b "$work/sparse")" ] &&
    [ "$(stat -c %s "$work/sparse2")" = 1073741827 ] && [ "$(tail -c 3 "$work/sparse2")" = end ] ||
    { echo "FAIL sparse copy: $(stat -c %b "$work/sparse2") blocks"; failures=$((failures + 1)); }
  rm -f "$work/sparse" "$work/sparse2"

  # A socket is named as one, not as a missing file.
  python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' "$work/sock"
  expect "cat a socket" 1 "" cat "$work/sock"
  expect_stderr "cat a socket" "it is a socket"

  # A name that is not UTF-8 lists as its bytes and opens by them.
  name=$(printf 'caf\xe9-\xff.txt')
  printf 'latin' >"$work/tree/$name"
  run ls --files "$work/tree" | grep -q -- " $name\$" || { echo "FAIL ls of a non-UTF-8 name"; failures=$((failures + 1)); }
  listed=$(run ls --files "$work/tree" | grep -a 'caf' | sed 's/^.\{36\}//')
  expect "cat a listed non-UTF-8 name" 0 "latin" cat "$work/tree/$listed"
  # A backslash cannot be carried to the system: refused, not another file.
  printf 'wrong' >"$work/backslash.txt"
  printf 'right' >"$work/back\slash.txt"
  expect "backslash name" 1 "" cat "$work/back\slash.txt"
  expect_stderr "backslash name" "holding a backslash"

  # Unreadable directories are failures, as for ls(1); root reads anything,
  # so as root these run as nobody.
  as_user=()
  [ "$(id -u)" = 0 ] && as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  chmod 755 "$work"
  mkdir -p "$work/locked" "$work/noexec"
  touch "$work/noexec/a" "$work/noexec/b"
  chmod 000 "$work/locked"
  chmod 444 "$work/noexec"
  if "${as_user[@]}" test -x "$talq" 2>/dev/null && ! "${as_user[@]}" test -r "$work/locked"; then
    "${as_user[@]}" "$talq" ls "$work/locked" >"$work/stdout" 2>"$work/stderr"
    [ $? = 1 ] && [ ! -s "$work/stdout" ] || { echo "FAIL ls of a mode-000 directory"; failures=$((failures + 1)); }
    expect_stderr "ls mode 000" "access denied"
    "${as_user[@]}" "$talq" ls "$work/noexec" >"$work/stdout" 2>"$work/stderr"
    [ $? = 1 ] || { echo "FAIL ls of an r-only directory succeeded"; failures=$((failures + 1)); }
    ! grep -q "1970-01-01" "$work/stdout" || { echo "FAIL ls listed zeros"; failures=$((failures + 1)); }
    expect_stderr "ls r-only" "access denied"
  else
    echo "talq: unreadable-directory checks skipped: cannot run talq as an unprivileged user here"
  fi
  chmod 755 "$work/locked" "$work/noexec"
fi

# The manual and --help cannot drift apart: each command, subcommand and option that a usage
# names is in talq.1.
man="$(dirname "$0")/../../examples/talq/talq.1"
if [ -f "$man" ]; then
  manual=$(sed 's/\\-/-/g; s/\\f[BIRP]//g' "$man")
  for cmd in $(run --help | tr -d '\r' | awk '/^commands:/ {on = 1; next} on && /^  [a-z]/ {print $1}'); do
    usage=$(run "$cmd" --help | tr -d '\r' | sed -n '1,/^$/p')
    for word in "$cmd" $(grep -oE -- '(^| |\[|\|)-{1,2}[a-z][a-z-]*' <<<"$usage" | tr -d ' [|') \
      $(awk '/^  [a-z]/ {print $1}' <<<"$usage"); do
      grep -qF -- "$word" <<<"$manual" ||
        { echo "FAIL talq.1 lacks '$word' of talq $cmd --help"; failures=$((failures + 1)); }
    done
  done
fi

# Output that cannot be written is a failure with its reason, for every command, mid-stream or at
# the last flush (natively: Wine's console has no /dev/full).
if [ -z "$runner" ] && [ -w /dev/full ]; then
  for args in "cat $work/big.bin" "cat $work/tree/f.txt" "ls $work/tree" "path to-nt /a" \
    "iconv -f UTF-8 -t ISO-8859-1 $work/tree/f.txt" "--help" "--version" "copy --help"; do
    "$talq" $args >/dev/full 2>"$work/stderr"
    status=$?
    [ "$status" = 1 ] && [ "$(grep -c "write error: No space left on device" "$work/stderr")" = 1 ] ||
      { echo "FAIL talq $args >/dev/full: status $status: $(cat "$work/stderr")"; failures=$((failures + 1)); }
  done
fi

if [ "$failures" -ne 0 ]; then echo "$failures talq check(s) failed"; exit 1; fi
echo "talq: all checks passed"
