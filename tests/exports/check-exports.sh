#!/bin/sh
# Checks a built TalqOSUtils module's export table.
#   check-exports.sh elf libTalqOSUtils.so   (nm -D)
#   check-exports.sh pe  TalqOSUtils.dll     (x86_64-w64-mingw32-objdump -p)
# Every public function and ChException's members must be exported; an ELF
# module must export nothing outside namespace TalqOSUtils but the standard
# library's own template instantiations (UnicodeString's base string).
set -eu
kind=$1
module=$2
list=$(mktemp)
trap 'rm -f "$list"' EXIT

if [ "$kind" = pe ]; then
  x86_64-w64-mingw32-objdump -p "$module" |
    awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && NF==0 {on=0} on {print $NF}' |
    x86_64-w64-mingw32-c++filt >"$list"
else
  nm -D --defined-only "$module" | awk '{print $2 " " $3}' >"$list.raw"
  # Anything that is not ours must be a weak standard template instantiation.
  strays=$(c++filt <"$list.raw" | awk '
    $1 ~ /^[AB]$/ && ($2 == "_edata" || $2 == "_end" || $2 == "__bss_start") {next}
    $2 ~ /^__odr_asan\./ {next}  # AddressSanitizer one-definition markers
    $2 ~ /^__gcov_/ || $2 == "mangle_path" {next}  # the coverage runtime (libgcov)
    { name = substr($0, index($0, " ") + 1) }
    name ~ /TalqOSUtils::/ {next}
    $1 == "T" && name ~ /^talq_[a-z0-9_]+$/ {next}  # the C interface (talq.h)
    ($1 == "W" || $1 == "V" || $1 == "u") && name ~ /(^|[ *&])std::|^(typeinfo|vtable)/ {next}
    {print}')
  c++filt <"$list.raw" | cut -d' ' -f2- >"$list"
  rm -f "$list.raw"
  if [ -n "$strays" ]; then
    echo "exported but not public:"; echo "$strays"; exit 1
  fi
fi

status=0
need() {  # need <count> <demangled prefix>
  found=$(grep -c -F -- "$2" "$list" || true)
  if [ "$found" -lt "$1" ]; then
    echo "missing export: $2 (want $1, found $found)"; status=1
  fi
}
need 1 "TalqOSUtils::OSErrorText"
need 1 "TalqOSUtils::ChException::ChException()"
need 1 "TalqOSUtils::ChException::ChException(char const*)"
need 1 "TalqOSUtils::ChException::ChException(TalqOSUtils::ChException const&)"
need 1 "TalqOSUtils::ChException::operator=(TalqOSUtils::ChException const&)"
need 1 "TalqOSUtils::ChException::what() const"
need 1 "TalqOSUtils::ChException::SetDescription(char const*)"
need 1 "TalqOSUtils::ChException::~ChException()"
need 1 "typeinfo for TalqOSUtils::ChException"
need 1 "vtable for TalqOSUtils::ChException"
need 1 "typeinfo for TalqOSUtils::ChFindFileException"
need 1 "TalqOSUtils::ChFindFileException::ChFindFileException(char const*)"
need 1 "TalqOSUtils::ChFindFileException::ChFindFileException(TalqOSUtils::ChFindFileException const&)"
need 1 "TalqOSUtils::ChFindFileException::operator=(TalqOSUtils::ChFindFileException const&)"
need 1 "TalqOSUtils::FileMessageLogging(bool)"
need 1 "TalqOSUtils::LogFileMessage(char const*, ...)"
for f in OSPathGenericToNT OSPathNTToGeneric OSPathGenericToMacHFS OSPathMacHFSToGeneric \
         OSPathGenericToUnix OSPathUnixToGeneric OSPathGenericToGeneric; do
  need 1 "TalqOSUtils::$f(char const*, char*, int)"
done
need 2 "TalqOSUtils::OSPathLocal("
need 2 "TalqOSUtils::OSPathGeneric("
need 3 "TalqOSUtils::OSAddNameToPath("
need 3 "TalqOSUtils::OSBasename("
need 3 "TalqOSUtils::OSDirname("
# File system
need 2 "TalqOSUtils::OSFileExists("
need 1 "TalqOSUtils::OSDirectoryExists(char const*)"
need 1 "TalqOSUtils::OSDeleteFile(char const*)"
need 1 "TalqOSUtils::OSMakeDirectory(char const*)"
for f in OSApplicationDirectory OSApplicationBinaryDirectory OSApplicationResourcesDirectory \
         OSSharedResourcesDirectory; do
  need 1 "TalqOSUtils::$f"  # [abi:cxx11] may follow the name
done
need 1 "TalqOSUtils::OSSetSharedResourceDirectory("
need 2 "TalqOSUtils::OSMakePathAbsolute("
need 1 "TalqOSUtils::ResolveAliasOrLink("
need 1 "TalqOSUtils::OSFindResourcePath("
need 1 "TalqOSUtils::GenericPathToLocalPath(char*, "
need 1 "TalqOSUtils::GenericPathToDravoFileSpec("
need 1 "TalqOSUtils::OSNameBytesToUTF8("
need 1 "TalqOSUtils::OSUTF8ToNameBytes("

# Streams
need 1 "TalqOSUtils::SetDefaultInputCheckFn("
need 1 "TalqOSUtils::SetDefaultOutputCheckFn("
for c in ChIOStream ChInputStream ChOutputStream; do
  need 1 "typeinfo for TalqOSUtils::$c"
  need 1 "vtable for TalqOSUtils::$c"
  need 1 "TalqOSUtils::$c::$c("
  need 1 "TalqOSUtils::$c::operator=("
  need 1 "TalqOSUtils::$c::~$c()"
done
for c in ChInputStream ChOutputStream; do
  for m in "isopen() const" "good() const" "openFork(" "open(" "close()" "getpos() const" "seek(long"; do
    need 1 "TalqOSUtils::$c::$m"
  done
done
for m in "read(void*, unsigned int)" "skip(long" "size() const" "isbig() const" \
         "percent() const" "eof() const"; do
  need 1 "TalqOSUtils::ChInputStream::$m"
done
need 2 "TalqOSUtils::ChOutputStream::write("
need 1 "TalqOSUtils::ChOutputStream::printf(char const*, ...)"
need 1 "TalqOSUtils::OSCopyFile(char const*, char const*, bool, "

# Directory search
for m in "ChFindFile::ChFindFile(" "ChFindFile::Init(char const*)" "ChFindFile::FindFirst()" \
         "ChFindFile::FindNext()" "ChFindFile::EndSearch()" "ChFindFile::AtEnd() const" \
         "ChFindFile::IsValid() const" "ChFindFile::LastError() const" \
         "ChFindFile::Root(char*) const" "ChFindFile::SetFilter(" \
         "ChFindFile::~ChFindFile()" "ChFindFileIterator::ChFindFileIterator(" \
         "ChFindFileIterator::operator=(" "ChFindFileIterator::~ChFindFileIterator()" \
         "ChFindFileIterator::IsValid() const" "ChFindFileIterator::BaseName(char*) const" \
         "ChFindFileIterator::IsDirectory() const" "ChFindFileIterator::IsBigFile() const" \
         "ChFindFileIterator::IsReparsePoint() const" \
         "ChFindFileIterator::Size() const" "ChFindFileIterator::TimeStamp() const" \
         "ChFindFileException::~ChFindFileException()" \
         "typeinfo for TalqOSUtils::ChFindFile" "vtable for TalqOSUtils::ChFindFile"; do
  case $m in *" for "*) need 1 "$m" ;; *) need 1 "TalqOSUtils::$m" ;; esac
done
need 3 "TalqOSUtils::ChFindFile::ChFindFile("
need 2 "TalqOSUtils::ChFindFileIterator::ChFindFileIterator("

for m in "UnicodeString::UnicodeString(" "UnicodeString::operator=(" "UnicodeString::get(" \
         "UnicodeString::getUni16Char(" "UnicodeString::UCS2ToUTF8(" "UnicodeString::UTF8ToUCS2(" \
         "UnicodeString::HasBOM(" "UnicodeString::ProcessBOM(" "UnicodeString::ReverseBytes(" \
         "UnicodeString::getStringWithEncoding" "UnicodeString::setStringWithEncoding(" \
         "UnicodeString::MapEncodingToUTF8(" "UnicodeString::MapUTF8ToEncoding(" \
         "UnicodeString::SetSystemEncoding(" "UnicodeString::smSystemEncoding"; do
  need 1 "TalqOSUtils::$m"
done

# The C interface (talq.h): plain names, the same on ELF and PE.
for f in talq_version talq_error_text talq_path_to_nt talq_path_from_nt talq_path_to_hfs \
         talq_path_from_hfs talq_path_to_unix talq_path_from_unix talq_path_absolute \
         talq_path_basename talq_path_dirname talq_path_join talq_name_bytes_to_utf8 \
         talq_utf8_to_name_bytes talq_path_kind talq_delete_file talq_make_directory \
         talq_application_directory talq_shared_resources_directory \
         talq_set_shared_resources_directory talq_find_resource talq_resolve_shortcut \
         talq_stream_open talq_stream_read talq_stream_write talq_stream_seek \
         talq_stream_position talq_stream_size talq_stream_percent talq_stream_error \
         talq_stream_set_check talq_stream_close talq_copy_file talq_convert talq_search_open talq_search_next \
         talq_search_error talq_search_close talq_utf8_to_utf16 talq_utf16_to_utf8 \
         talq_encoding_to_utf8 talq_utf8_to_encoding talq_utf8_has_bom \
         talq_utf16_has_bom talq_utf8_strip_bom talq_utf16_strip_bom; do
  grep -qx -- "$f" "$list" || { echo "missing export: $f"; status=1; }
done
[ "$status" -eq 0 ] && echo "exports of $(basename "$module"): ok ($(wc -l <"$list") symbols)"
exit $status
