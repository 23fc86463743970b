// Vandrel::FileSpec: path text operations. The existence query, the one
// operation that asks the file system, has one file per platform:
// posix/FileSpecExists.cpp and win32/FileSpecExists.cpp.
#include "Vandrel/FileSpec.h"

#include "VandrelRules/NtPath.h"

namespace Vandrel {
namespace {

using ntpath::IsSeparator;
using ntpath::StartsWithDrive;
using String = FileSpec::String;

constexpr Uni16 kBackslash = static_cast<Uni16>('\\');
constexpr Uni16 kDot = static_cast<Uni16>('.');

bool HoldsSeparator(const Uni16* s) {
  for (; *s != 0; ++s) {
    if (IsSeparator(*s)) return true;
  }
  return false;
}

// Length of the root: "X:\" 3, "X:" 2, "\" 1, "\\server\share\" in full.
std::size_t RootLength(const String& p) {
  if (StartsWithDrive(p)) return p.size() >= 3 && IsSeparator(p[2]) ? 3 : 2;
  if (p.empty() || !IsSeparator(p[0])) return 0;
  if (p.size() < 2 || !IsSeparator(p[1])) return 1;
  std::size_t i = 2;
  for (int part = 0; part < 2 && i < p.size(); ++part) {
    while (i < p.size() && !IsSeparator(p[i])) ++i;
    if (i < p.size()) ++i;  // the separator after server, then after share
  }
  return i;
}

// Index where the last component starts.
std::size_t NameStart(const String& p) {
  const std::size_t root = RootLength(p);
  std::size_t i = p.size();
  while (i > root && !IsSeparator(p[i - 1])) --i;
  return i;
}

// Index of the dot that starts the extension of `name`, or npos.
std::size_t ExtensionDot(const String& name) {
  if (name.find_first_not_of(kDot) == String::npos && name.size() <= 2) return String::npos;
  const std::size_t dot = name.rfind(kDot);
  return dot == 0 ? String::npos : dot;
}

}  // namespace

// Not through the virtual SetPath: a subclass is not constructed yet.
FileSpec::FileSpec(const Uni16* path) : mPath(path != nullptr ? path : String()) {}

FileSpec& FileSpec::operator=(const Uni16* path) {
  SetPath(path);
  return *this;
}

FileSpec::~FileSpec() = default;

void FileSpec::SetPath(const Uni16* path) {
  if (path == nullptr) {
    mPath.clear();
  } else {
    mPath.assign(path);
  }
}

const Uni16* FileSpec::Path() const { return mPath.c_str(); }

std::size_t FileSpec::Length() const { return mPath.size(); }

bool FileSpec::IsEmpty() const { return mPath.empty(); }

void FileSpec::Clear() { mPath.clear(); }

bool FileSpec::IsAbsolute() const {
  if (StartsWithDrive(mPath)) return mPath.size() >= 3 && IsSeparator(mPath[2]);
  return !mPath.empty() && IsSeparator(mPath[0]);
}

bool FileSpec::IsRoot() const { return !mPath.empty() && RootLength(mPath) == mPath.size(); }

String FileSpec::Name() const { return mPath.substr(NameStart(mPath)); }

String FileSpec::Stem() const {
  String name = Name();
  const std::size_t dot = ExtensionDot(name);
  if (dot != String::npos) name.resize(dot);
  return name;
}

String FileSpec::Extension() const {
  const String name = Name();
  const std::size_t dot = ExtensionDot(name);
  return dot == String::npos ? String() : name.substr(dot + 1);
}

FileSpec FileSpec::Parent() const {
  const std::size_t root = RootLength(mPath);
  std::size_t end = mPath.size();
  while (end > root && IsSeparator(mPath[end - 1])) --end;  // "a\b\" is "a\b"
  if (end == root) return FileSpec();
  while (end > root && !IsSeparator(mPath[end - 1])) --end;
  while (end > root && IsSeparator(mPath[end - 1])) --end;
  FileSpec parent;
  parent.mPath = mPath.substr(0, end);
  return parent;
}

bool FileSpec::SetName(const Uni16* name) {
  if (name == nullptr || *name == 0 || HoldsSeparator(name)) return false;
  const std::size_t start = NameStart(mPath);
  mPath.resize(start);
  // "\\srv\share" is a root without its closing separator; "C:" stays
  // drive-relative.
  if (start > 0 && start == RootLength(mPath) && !IsSeparator(mPath[start - 1]) &&
      !StartsWithDrive(mPath)) {
    mPath += kBackslash;
  }
  mPath += name;
  return true;
}

bool FileSpec::SetExtension(const Uni16* extension) {
  const std::size_t start = NameStart(mPath);
  if (start == mPath.size()) return false;
  if (extension != nullptr && *extension == kDot) ++extension;
  if (extension != nullptr && HoldsSeparator(extension)) return false;
  const std::size_t dot = ExtensionDot(mPath.substr(start));
  if (dot != String::npos) mPath.resize(start + dot);
  if (extension != nullptr && *extension != 0) {
    mPath += kDot;
    mPath += extension;
  }
  return true;
}

void FileSpec::Append(const Uni16* component) {
  if (component == nullptr || *component == 0) return;
  const bool bareDrive = StartsWithDrive(mPath) && mPath.size() == 2;
  if (!mPath.empty() && !IsSeparator(mPath.back()) && !bareDrive) mPath += kBackslash;
  mPath += component;
}

}  // namespace Vandrel
