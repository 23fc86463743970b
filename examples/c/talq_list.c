/* Lists a directory through the C interface: talq_list /C:/docs */
#include <TalqOSUtils/talq.h>
#include <stdio.h>

int main(int argc, char** argv) {
  talq_search* search = NULL;
  talq_entry entry;
  char words[128];
  int code = talq_search_open(argc > 1 ? argv[1] : ".", NULL, NULL, &search);
  while (code == TALQ_OK && (code = talq_search_next(search, &entry)) == TALQ_OK)
    printf("%12.0f  %s%s\n", (double)entry.size, entry.name,
           entry.attributes & TALQ_ATTRIBUTE_DIRECTORY ? "/" : "");
  talq_search_close(search);
  if (code == TALQ_ERROR_NO_MORE_FILES) return 0;
  talq_error_text(code, words, sizeof words, NULL);
  fprintf(stderr, "talq_list: %s\n", words);
  return 1;
}
