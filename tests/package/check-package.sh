#!/bin/sh
# The installed library and what CPack makes of it, as users get them.
# Natively: installs into a scratch prefix and moves it (nothing may depend on
# where it was installed), runs the installed talq, builds a host project
# against the copy with CMake (find_package) and pkg-config; then unpacks each
# .deb, runs its talq and has lintian (when present) look for errors. On the
# Windows build: unpacks the .zip, runs its talq.exe and a host project built
# against it under Wine.
#   check-package.sh <build dir> <source dir> <version> <talq built: 0|1> [<toolchain file> <wine-run>]
set -eu
build=$1
source=$2
version=$3
with_talq=$4
toolchain=${5:-}
runner=${6:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
expected="C:\\docs\\report.txt|$version|4|$version|thrown across the library boundary"

fail() {
  echo "$*"
  exit 1
}

check() {  # check <how> <output>
  out=$(printf '%s' "$2" | tr -d '\r')
  [ "$out" = "$expected" ] || fail "$1: got '$out', want '$expected'"
  echo "$1: ok"
}

# check_talq <how> <command running talq...>: the version and one conversion,
# with no library path from the environment.
check_talq() {
  how=$1
  shift
  [ "$with_talq" = 1 ] || return 0
  got=$(env -u LD_LIBRARY_PATH -u WINEPATH "$@" --version 2>&1 | tr -d '\r') ||
    fail "$how: talq --version failed: $got"
  [ "$got" = "talq $version" ] || fail "$how: talq --version said '$got'"
  got=$(env -u LD_LIBRARY_PATH -u WINEPATH "$@" path to-nt "/C:/docs/a\\/b.txt" 2>&1 | tr -d '\r') ||
    fail "$how: talq path to-nt failed: $got"
  [ "$got" = 'C:\docs\a/b.txt' ] || fail "$how: talq path to-nt said '$got'"
  echo "$how: ok"
}

if [ -n "$toolchain" ]; then
  # The .zip: DLLs, their runtime and talq.exe side by side in bin/.
  (cd "$build" && cpack -G ZIP -B "$work/zip") >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack failed"; }
  mkdir "$work/unzipped"
  (cd "$work/unzipped" && cmake -E tar xf "$work/zip/talqosutils-$version-win64.zip")
  pkg=$work/unzipped/talqosutils-$version-win64
  for doc in README.md COPYRIGHT.txt; do
    [ -s "$pkg/$doc" ] || fail "the .zip holds no $doc"
  done
  export WINEPREFIX="$build/wineprefix"
  check_talq "talq.exe from the .zip (Wine)" "$runner" "$pkg/bin/talq.exe"
  cmake -S "$source/tests/package/consumer" -B "$work/consumer" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DTalqOSUtils_DIR="$pkg/lib/cmake/TalqOSUtils" >/dev/null
  cmake --build "$work/consumer" >/dev/null
  # Windows looks for DLLs beside the .exe.
  cp "$pkg/bin/"*.dll "$work/consumer/"
  check "find_package in the .zip (mingw, Wine)" "$(cd "$work/consumer" && "$runner" ./consumer.exe)"

  # The C interface for other compilers: talq.def names every talq_ function
  # of talq.h, the DLL exports each, and talq.lib (llvm-dlltool's import
  # library for Microsoft's linker) defines each and its __imp_ pointer.
  names=$(sed -n 's/^TALQ_API[^(]*[ *]\(talq_[A-Za-z0-9_]*\)(.*/\1/p' \
    "$pkg/include/TalqOSUtils/talq.h" | sort)
  [ "$(echo "$names" | wc -l)" -gt 40 ] || fail "talq.h: too few talq_ functions found"
  [ "$(sed -n 's/^ *\(talq_[A-Za-z0-9_]*\)$/\1/p' "$pkg/lib/talq.def" | sort)" = "$names" ] ||
    fail "talq.def does not list the functions of talq.h"
  [ "$(x86_64-w64-mingw32-objdump -p "$pkg/bin/TalqOSUtils.dll" | grep -o '\btalq_[a-z0-9_]*' |
    sort -u)" = "$names" ] || fail "TalqOSUtils.dll does not export the functions of talq.h"
  nm=$(command -v llvm-nm || command -v llvm-nm-14 || echo /usr/lib/llvm-14/bin/llvm-nm)
  "$nm" "$pkg/lib/talq.lib" >"$work/talq.lib.nm" || fail "llvm-nm cannot read talq.lib"
  [ "$(sed -n 's/^ *[0-9a-f]* *T \(talq_[A-Za-z0-9_]*\)$/\1/p' "$work/talq.lib.nm" | sort -u)" = "$names" ] ||
    fail "talq.lib does not define the functions of talq.h"
  [ "$(sed -n 's/^ *[0-9a-f]* *[A-Z] __imp_\(talq_[A-Za-z0-9_]*\)$/\1/p' "$work/talq.lib.nm" | sort -u)" = "$names" ] ||
    fail "talq.lib does not import the functions of talq.h"
  echo "talq.def, talq.lib and the DLL's exports: all $(echo "$names" | wc -l) talq_ functions"
  # A C host linked through talq.lib alone.
  x86_64-w64-mingw32-gcc -std=c99 -Wall -Wextra -pedantic -Werror -I"$pkg/include" \
    "$source/tests/package/consumer/consumer.c" "$pkg/lib/talq.lib" -o "$work/consumer/c-consumer.exe"
  got=$(cd "$work/consumer" && "$runner" ./c-consumer.exe | tr -d '\r')
  [ "$got" = "C:\\docs\\report.txt|$version|invalid parameter" ] ||
    fail "C host linked through talq.lib (Wine): got '$got'"
  echo "C host linked through talq.lib (mingw, Wine): ok"
  # The same for Microsoft's ABI: clang targeting MSVC and lld-link, the
  # Microsoft-compatible linker; kernel32.lib is made here for ExitProcess.
  clang=$(command -v clang-14 || command -v clang) || fail "no clang for the MSVC target"
  lld_link=$(command -v lld-link || command -v lld-link-14) || fail "no lld-link"
  printf 'LIBRARY kernel32.dll\nEXPORTS\n  ExitProcess\n' >"$work/kernel32.def"
  dlltool=$(command -v llvm-dlltool || command -v llvm-dlltool-14)
  "$dlltool" -m i386:x86-64 -d "$work/kernel32.def" -l "$work/kernel32.lib"
  "$clang" --target=x86_64-pc-windows-msvc -ffreestanding -std=c99 -Wall -Wextra -pedantic -Werror \
    -I"$pkg/include" -c "$source/tests/package/consumer/msvc_host.c" -o "$work/msvc_host.obj"
  "$lld_link" -nologo -entry:mainCRTStartup -subsystem:console -nodefaultlib "$work/msvc_host.obj" \
    "$pkg/lib/talq.lib" "$work/kernel32.lib" -out:"$work/consumer/msvc-host.exe" ||
    fail "lld-link refused talq.lib"
  (cd "$work/consumer" && "$runner" ./msvc-host.exe) || fail "MSVC-ABI host (Wine) failed"
  echo "MSVC-ABI host linked by lld-link through talq.lib (Wine): ok"
  exit 0
fi

cmake --install "$build" --prefix "$work/staging" >/dev/null
mv "$work/staging" "$work/prefix"
check_talq "installed talq" "$work/prefix/bin/talq"

cmake -S "$source/tests/package/consumer" -B "$work/consumer" -G Ninja \
  -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
check "find_package" "$("$work/consumer/consumer")"

# Same major, no newer than installed: accepted; anything else refused.
for want in 1.0 0.99; do
  if cmake -S "$source/tests/package/consumer" -B "$work/consumer-$want" -G Ninja \
       -DCMAKE_PREFIX_PATH="$work/prefix" -DTALQ_WANT=$want >/dev/null 2>&1; then
    fail "find_package accepted version $want of $version"
  fi
done
echo "version compatibility: ok"

pc=$(find "$work/prefix" -name talqosutils.pc)
flags=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags --libs talqosutils)
libdir=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --variable=libdir talqosutils)
# shellcheck disable=SC2086
c++ -std=c++17 "$source/tests/package/consumer/main.cpp" -o "$work/pc-consumer" $flags \
  "-Wl,-rpath,$libdir"
check "pkg-config" "$("$work/pc-consumer")"
# A C host of the C interface, built as C.
# shellcheck disable=SC2086
cc -std=c99 -Wall -Wextra -pedantic -Werror "$source/tests/package/consumer/consumer.c" \
  -o "$work/c-consumer" $flags "-Wl,-rpath,$libdir"
got=$("$work/c-consumer")
[ "$got" = "C:\\docs\\report.txt|$version|invalid parameter" ] || fail "C host (pkg-config): got '$got'"
echo "C host (pkg-config, cc -std=c99): ok"
[ "$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --modversion talqosutils)" = "$version" ]
readelf -d "$libdir/libTalqOSUtils.so" | grep -q "SONAME.*libTalqOSUtils.so.0"
echo "soname: ok"

# The .deb packages: the runtime holds the libraries alone, -dev what a build
# needs, talq the program; unpacked together, talq runs.
(cd "$build" && cpack -G DEB -B "$work/debs") >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack failed"; }
arch=$(dpkg --print-architecture)
arch_triplet=$(dpkg-architecture -q DEB_HOST_MULTIARCH)
want="libtalqosutils-dev libtalqosutils0"
[ "$with_talq" = 0 ] || want="$want talq"
[ "$(cd "$work/debs" && echo *.deb)" = "$(for p in $want; do printf '%s ' "${p}_$version-1_$arch.deb"; done | sed 's/ $//')" ] ||
  fail "packages made: $(cd "$work/debs" && echo *.deb), want: $want"
contents() {  # contents <package>: its files and links, one a line, without the docs
  dpkg-deb --fsys-tarfile "$work/debs/$1"_*.deb | tar -t | grep -v -e '/$' -e '^\./usr/share/doc/' |
    sed 's|^\./||' | sort
}
runtime=$(contents libtalqosutils0 | sed 's|.*/||' | tr '\n' ' ')
[ "$runtime" = "libTalqOSUtils.so.0 libTalqOSUtils.so.$version libVandrel.so.0 libVandrel.so.$version " ] ||
  fail "libtalqosutils0 holds: $runtime"
dev=$(contents libtalqosutils-dev)
for file in include/TalqOSUtils/Paths.h include/TalqOSUtils/Version.h include/Vandrel/Vandrel.h \
    "lib/$arch_triplet/libTalqOSUtils.so" "lib/$arch_triplet/pkgconfig/talqosutils.pc" \
    "lib/$arch_triplet/cmake/TalqOSUtils/TalqOSUtilsConfig.cmake"; do
  printf '%s\n' "$dev" | grep -qx "usr/$file" || fail "libtalqosutils-dev lacks usr/$file"
done
for deb in "$work/debs/"*.deb; do
  dpkg-deb -x "$deb" "$work/root"
  package=$(dpkg-deb -f "$deb" Package)
  zcat "$work/root/usr/share/doc/$package/changelog.Debian.gz" >"$work/changelog"
  [ "$(dpkg-parsechangelog -l "$work/changelog" -S Version)" = "$(dpkg-deb -f "$deb" Version)" ] ||
    fail "$package: the changelog's latest entry is for another version"
done
echo "deb contents: ok"
check_talq "talq from the .deb packages" "$work/root/usr/bin/talq"
if command -v lintian >/dev/null; then
  lintian --fail-on error "$work/debs/"*.deb || fail "lintian found errors"
  echo "lintian: no errors"
fi
