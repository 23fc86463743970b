#!/bin/sh
# Installs the built library into a scratch prefix and builds a host project
# against it, with CMake (find_package) and, natively, with pkg-config.
#   check-package.sh <build dir> <source dir> <version> [<toolchain file> <wine-run>]
set -eu
build=$1
source=$2
version=$3
toolchain=${4:-}
runner=${5:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
expected="C:\\docs\\report.txt|$version|4|$version|thrown across the library boundary"

cmake --install "$build" --prefix "$work/prefix" >/dev/null

check() {  # check <how> <output>
  out=$(printf '%s' "$2" | tr -d '\r')
  if [ "$out" != "$expected" ]; then
    printf "%s: got '%s', want '%s'\n" "$1" "$out" "$expected"; exit 1
  fi
  echo "$1: ok"
}

if [ -n "$toolchain" ]; then
  cmake -S "$source/tests/package/consumer" -B "$work/consumer" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DTalqOSUtils_DIR="$work/prefix/lib/cmake/TalqOSUtils" >/dev/null
  cmake --build "$work/consumer" >/dev/null
  # The installed DLLs (and their runtime) sit in bin/; Windows looks beside the .exe.
  cp "$work/prefix/bin/"*.dll "$work/consumer/"
  check "find_package (mingw, Wine)" "$(cd "$work/consumer" && WINEPREFIX="$build/wineprefix" "$runner" ./consumer.exe)"
  exit 0
fi

cmake -S "$source/tests/package/consumer" -B "$work/consumer" -G Ninja \
  -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
check "find_package" "$("$work/consumer/consumer")"

# Same major, no newer than installed: accepted; anything else refused.
for want in 1.0 0.99; do
  if cmake -S "$source/tests/package/consumer" -B "$work/consumer-$want" -G Ninja \
       -DCMAKE_PREFIX_PATH="$work/prefix" -DTALQ_WANT=$want >/dev/null 2>&1; then
    echo "find_package accepted version $want of $version"; exit 1
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
[ "$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --modversion talqosutils)" = "$version" ]
readelf -d "$libdir/libTalqOSUtils.so" | grep -q "SONAME.*libTalqOSUtils.so.0"
echo "soname: ok"
