/* A host of Microsoft's ABI, built by clang for the MSVC target and linked by
 * lld-link through talq.lib alone: no C runtime, so it ends through
 * ExitProcess, with 0 when the library answered as expected. */
#include <TalqOSUtils/talq.h>

__declspec(dllimport) void __stdcall ExitProcess(unsigned code);

void mainCRTStartup(void) {
  char nt[64];
  size_t needed = 0;
  const int code = talq_path_to_nt("/C:/docs/a.txt", nt, sizeof nt, &needed);
  const int refused = talq_utf8_to_encoding(99, "a", nt + 32, 32, NULL);
  ExitProcess(code == TALQ_OK && needed == 14 && nt[0] == 'C' && nt[2] == '\\' &&
                      refused == TALQ_ERROR_INVALID_PARAMETER
                  ? 0
                  : 1);
}
