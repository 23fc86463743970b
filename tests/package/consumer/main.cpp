// Prints what a host sees of the installed library; check-package.sh
// compares the output.
#include <TalqOSUtils/TalqOSUtils.h>

#include <cstdio>
#include <cstring>
#include <string>

int main() {
  char nt[256];
  if (!TalqOSUtils::OSPathGenericToNT("/C:/docs/report.txt", nt, sizeof nt)) return 1;
  std::string latin1 =
      TalqOSUtils::UnicodeString::MapUTF8ToEncoding(TalqOSUtils::kISOLatin1Encoding, "caf\xC3\xA9");
  try {
    throw TalqOSUtils::ChException("thrown across the library boundary");
  } catch (const TalqOSUtils::ChException& e) {
    std::printf("%s|%s|%zu|%s|%s\n", nt, TALQOSUTILS_VERSION_STRING, latin1.size(),
                TalqOSUtils::LibraryVersion(), e.what());
  }
  return std::strcmp(TalqOSUtils::LibraryVersion(), TALQOSUTILS_VERSION_STRING) == 0 ? 0 : 2;
}
