// The .lnk reader's path assembly (see TargetPath.h). The environment is the
// caller's, asked only for the system's variables.
#include "lnk/TargetPath.h"

#include <vector>

#include "Vandrel/Vandrel.h"

namespace TalqOSUtils {
namespace lnk {

namespace {

struct SystemVariable {
  const char* name;
  const char* value;
};
// The only variables a shortcut may name, with Windows' values for a process
// that has none of them.
constexpr SystemVariable kSystemVariables[] = {
    {"SystemRoot", "C:\\Windows"},
    {"windir", "C:\\Windows"},
    {"SystemDrive", "C:"},
    {"ProgramFiles", "C:\\Program Files"},
    {"ProgramFiles(x86)", "C:\\Program Files (x86)"},
    {"ProgramW6432", "C:\\Program Files"},
    {"CommonProgramFiles", "C:\\Program Files\\Common Files"},
    {"ProgramData", "C:\\ProgramData"},
};

Unit Lower(Unit c) { return c >= u'A' && c <= u'Z' ? static_cast<Unit>(c + 32) : c; }

// The system variable of that name, or null.
const SystemVariable* FindSystemVariable(const Text& name) {
  for (const SystemVariable& v : kSystemVariables) {
    const std::string known(v.name);
    bool same = known.size() == name.size();
    for (std::size_t i = 0; same && i < name.size(); ++i) {
      same = Lower(static_cast<Unit>(known[i])) == Lower(name[i]);
    }
    if (same) return &v;
  }
  return nullptr;
}

// The system variable's value, Windows' own when it is not set. Any other
// variable is refused unread.
Assembled Variable(const Text& name, Environment environment, Text& value) {
  const SystemVariable* known = FindSystemVariable(name);
  if (known == nullptr) return Assembled::kNoTarget;
  switch (environment(name, value)) {
    case Lookup::kSet:
      return Assembled::kPath;
    case Lookup::kNotSet:
      value.assign(known->value, known->value + std::char_traits<char>::length(known->value));
      return Assembled::kPath;
    case Lookup::kFailed:
      break;
  }
  return Assembled::kEnvironmentFailed;
}

// The next %name% of text from `from`: its two '%' at open and close; false
// when the rest holds none. "%%" is no variable.
bool NextVariable(const Text& text, std::size_t from, std::size_t& open, std::size_t& close) {
  for (;; from = close + 1) {
    open = text.find(u'%', from);
    close = open == Text::npos ? Text::npos : text.find(u'%', open + 1);
    if (close == Text::npos) return false;
    if (close > open + 1) return true;
  }
}

bool IsAbsolute(const Text& path) {
  if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') return true;
  const Unit letter = Lower(path.empty() ? Unit{0} : path[0]);
  return path.size() >= 3 && letter >= u'a' && letter <= u'z' && path[1] == u':' &&
         path[2] == u'\\';
}

Assembled Expand(const Text& text, Environment environment, Text& out) {
  if (!NamesOnlySystemVariables(text)) return Assembled::kNoTarget;
  Text result;
  std::size_t i = 0;
  std::size_t open = 0;
  std::size_t close = 0;
  for (; NextVariable(text, i, open, close); i = close + 1) {
    Text value;
    const Assembled got = Variable(text.substr(open + 1, close - open - 1), environment, value);
    if (got != Assembled::kPath) return got;
    result.append(text, i, open - i);
    result += value;
  }
  result.append(text, i, Text::npos);
  if (!IsAbsolute(result)) return Assembled::kNoTarget;
  out = result;
  return Assembled::kPath;
}

// The shortcut's folder, then the relative components.
Text PlaceRelative(const std::string& linkPath, const Text& rel) {
  const Text separators = {Unit('\\'), Unit('/')};
  std::vector<Unit> wide(linkPath.size() + 1, 0);
  Vandrel::UTF8ToUni16Char(linkPath.c_str(), wide.data(), wide.size());
  const Text folder(wide.data());
  const std::size_t cut = folder.find_last_of(separators);
  if (cut == Text::npos) return Text();
  std::size_t keep = cut + 1;  // the separator stays
  // The root ("C:\", "\\srv\share\", "\") is never climbed out of.
  std::size_t root = folder.find(u'\\') == Text::npos ? 0 : folder.find(u'\\') + 1;
  if (folder.size() >= 2 && folder[0] == u'\\' && folder[1] == u'\\') {
    const std::size_t share = folder.find(u'\\', 2);
    root = share == Text::npos ? keep : folder.find(u'\\', share + 1);
    root = root == Text::npos ? keep : root + 1;
  }
  if (root > keep) root = keep;
  Text out = folder.substr(0, keep);

  for (std::size_t start = 0; start <= rel.size();) {
    std::size_t end = rel.find_first_of(separators, start);
    if (end == Text::npos) end = rel.size();
    const Text part = rel.substr(start, end - start);
    const bool dots = part.find_first_not_of(Unit('.')) == Text::npos;
    if (dots && part.size() == 2) {
      if (out.size() > root) {
        const std::size_t prev = out.find_last_of(u'\\', out.size() - 2);
        out.erase(prev == Text::npos || prev + 1 < root ? root : prev + 1);
      }
    } else if (!(dots && part.size() <= 1)) {
      out += part;
      if (end < rel.size()) out += u'\\';
    }
    start = end + 1;
  }
  return out;
}

}  // namespace

bool NamesOnlySystemVariables(const Text& unexpanded) {
  std::size_t open = unexpanded.find(u'%');
  for (std::size_t close = 0; open != Text::npos; open = close) {
    close = unexpanded.find(u'%', open + 1);
    if (close == Text::npos) return true;
    if (close > open + 1 &&
        FindSystemVariable(unexpanded.substr(open + 1, close - open - 1)) == nullptr) {
      return false;
    }
  }
  return true;
}

Assembled ShortcutTargetPath(const std::string& linkPath, const ShellLinkTarget& target,
                             Environment environment, Text& out) {
  using Kind = ShellLinkTarget::Kind;
  Text path;
  if (target.kind == Kind::kEnvironment) return Expand(target.path, environment, out);
  if (target.kind == Kind::kRelative) {
    path = PlaceRelative(linkPath, target.path);
  } else if (target.kind != Kind::kNone) {
    path = target.path;
  }
  if (path.empty()) return Assembled::kNoTarget;
  out = path;
  return Assembled::kPath;
}

}  // namespace lnk
}  // namespace TalqOSUtils
