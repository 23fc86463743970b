/* Lists a directory through the C interface: talq_list /C:/docs */
#include <TalqOSUtils/talq.h>
#include <stdio.h>

int main(int argc, char** argv) {
  talq_search* search = NULL;
  talq_entry entry;
  char root[1024], name[256], words[128];
  const char* arg = argc > 1 ? argv[1] : ".";
#ifdef _WIN32
  int code = snprintf(root, sizeof root, "%s", arg) < (int)sizeof root ? TALQ_OK : TALQ_ERROR_FILENAME_EXCED_RANGE;
#else /* a Linux name is bytes: the library's UTF-8 carries those that are not UTF-8 */
  int code = talq_name_bytes_to_utf8(arg, root, sizeof root, NULL);
#endif
  if (code == TALQ_OK) code = talq_search_open(root, NULL, NULL, &search);
  while (code == TALQ_OK && (code = talq_search_next(search, &entry)) == TALQ_OK) {
    talq_utf8_to_name_bytes(entry.name, name, sizeof name, NULL); /* back to its bytes */
    printf("%12.0f  %s%s\n", (double)entry.size, name,
           entry.attributes & TALQ_ATTRIBUTE_DIRECTORY ? "/" : "");
  }
  talq_search_close(search);
  if (code == TALQ_ERROR_NO_MORE_FILES) return 0;
  talq_error_text(code, words, sizeof words, NULL);
  fprintf(stderr, "talq_list: %s\n", words);
  return 1;
}
