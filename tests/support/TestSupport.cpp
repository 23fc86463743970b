#include "support/TestSupport.h"

#include <fstream>
#include <sstream>

namespace talqtest {

std::string TestDataPath(const std::string& relative) {
  std::string path = std::string(TALQ_TESTDATA_DIR) + "/" + relative;
#if defined(_WIN32)
  // Under Wine the Linux root is drive Z:.
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
#endif
  std::ifstream probe(path, std::ios::binary);
  return probe ? path : std::string();
}

bool ReadFileBytes(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  out = buffer.str();
  return true;
}

}  // namespace talqtest
