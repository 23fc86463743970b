#!/bin/sh
# Builds the API documentation and checks that it shows the whole interface:
# Doxygen itself fails on any undocumented declaration (WARN_AS_ERROR), and
# every TALQ_API free function of the public headers, each overload counted,
# must be listed on the namespace page (the C interface's talq_ functions,
# which are outside it, excepted) and on its header's page, and be found by
# the search.
#   check-docs.sh <doxygen> <Doxyfile> <html dir> <header dir>...
set -eu
doxygen=$1
doxyfile=$2
html=$3
shift 3

"$doxygen" "$doxyfile"

fail() {
  echo "docs: $*"
  exit 1
}

# occurrences <file> <text>: how often text occurs in file.
occurrences() {
  grep -oF -- "$2" "$1" | wc -l
}

total=0
for dir in "$@"; do
  for header in "$dir"/*.h; do
    page="$html/$(basename "$header" .h)_8h.html"
    # A free function is declared at the start of a line: TALQ_API type Name(...
    for name in $(sed -n 's/^TALQ_API[^(]*[ *&]\([A-Za-z_][A-Za-z0-9_]*\)(.*/\1/p' "$header" | sort -u); do
      declared=$(grep -c "^TALQ_API[^(]*[ *&]$name(" "$header")
      total=$((total + declared))
      case $name in
        talq_*)  # the C interface: global functions, listed on their header's page
          listed=$(($(occurrences "$page" ">$name</a> (") + $(occurrences "$page" ">$name</b> (")))
          [ "$listed" -eq "$declared" ] ||
            fail "$name: $declared declared in $(basename "$header"), $listed on its page"
          grep -qF "['$name',[" "$html"/search/functions_*.js || fail "$name: not in the search index"
          continue
          ;;
      esac
      listed=$(($(occurrences "$html/namespaceTalqOSUtils.html" ">$name</a> (") +
        $(occurrences "$html/namespaceTalqOSUtils.html" ">$name</b> (")))
      [ "$listed" -eq "$declared" ] ||
        fail "$name: $declared declared in $(basename "$header"), $listed on the namespace page"
      listed=$(($(occurrences "$page" ">TalqOSUtils::$name</a> (") +
        $(occurrences "$page" ">TalqOSUtils::$name</b> (")))
      [ "$listed" -eq "$declared" ] ||
        fail "$name: $declared declared in $(basename "$header"), $listed on its page"
      grep -qF "['$name',[" "$html"/search/functions_*.js || fail "$name: not in the search index"
    done
  done
done
[ "$total" -gt 0 ] || fail "no TALQ_API free function found in $*"
echo "docs: all $total free functions are on the namespace page, their header's page and in the search"
