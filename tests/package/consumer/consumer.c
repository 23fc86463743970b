/* A C host: the C interface alone, built as C99. Prints the NT form of a
 * path, the library's version and the words for a refused encoding. */
#include <TalqOSUtils/talq.h>
#include <stdio.h>

int main(void) {
  char nt[64], words[64];
  int code = talq_utf8_to_encoding(99, "a", NULL, 0, NULL);
  if (talq_path_to_nt("/C:/docs/report.txt", nt, sizeof nt, NULL) != TALQ_OK) return 1;
  if (talq_error_text(code, words, sizeof words, NULL) != TALQ_OK) return 1;
  printf("%s|%s|%s\n", nt, talq_version(), words);
  return 0;
}
