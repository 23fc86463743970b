// Vandrel::FileSpec: a file-system path held as UTF-16 in NT notation.
#pragma once

#include <cstddef>
#include <string>

#include "Vandrel/Export.h"
#include "Vandrel/Vandrel.h"

namespace Vandrel {

/// A path in NT notation: "C:\dir\name.ext", "\\server\share\dir", "\dir",
/// or relative "dir\name". '/' is accepted as a separator as well; new
/// separators are written as '\'. The object only holds text: apart from
/// Exists() nothing touches the file system.
///
/// The root of a path is "X:\", "X:", "\", "\\server\share\" or
/// "\\server\share"; the components follow it.
///
/// The virtual operations are declared in a fixed order that callers may
/// depend on: the destructor, then SetPath ... Append, and Exists() as the
/// sixteenth (the destructor counted as one). New virtual operations go
/// after Exists().
class VANDREL_API FileSpec {
 public:
  using String = std::basic_string<Uni16>;

  FileSpec() = default;
  /// Null is taken as the empty path.
  explicit FileSpec(const Uni16* path);
  FileSpec(const FileSpec&) = default;
  FileSpec& operator=(const FileSpec&) = default;
  /// Same as SetPath(path); null is taken as the empty path.
  FileSpec& operator=(const Uni16* path);

  virtual ~FileSpec();

  /// Replaces the path; null gives the empty path.
  virtual void SetPath(const Uni16* path);
  /// The NUL-terminated path, valid until the object changes.
  virtual const Uni16* Path() const;
  /// Number of units in the path.
  virtual std::size_t Length() const;
  virtual bool IsEmpty() const;
  /// Makes the path empty.
  virtual void Clear();
  /// "C:\a" and "\a" and "\\srv\share" => true; "a\b" and "C:a" => false.
  virtual bool IsAbsolute() const;
  /// The path is nothing but a root: "C:\", "C:", "\", "\\srv\share".
  virtual bool IsRoot() const;
  /// Last component: "C:\a\b.txt" => "b.txt"; "C:\a\" => ""; "C:\" => "".
  virtual String Name() const;
  /// Name without its extension: "b.tar.gz" => "b.tar"; ".profile" => ".profile".
  virtual String Stem() const;
  /// Text after the last '.' of the name, if that '.' is not its first
  /// character: "b.tar.gz" => "gz"; ".profile", "..", "b" => "".
  virtual String Extension() const;
  /// The path without its last component: "C:\a\b" => "C:\a"; "C:\a" =>
  /// "C:\"; "a" => ""; a root has no parent => "".
  virtual FileSpec Parent() const;
  /// Replaces the last component, or adds one after a root or a trailing
  /// separator: "C:\a\b" + "c" => "C:\a\c". False, and no change, for a
  /// null or empty name or one holding a separator.
  virtual bool SetName(const Uni16* name);
  /// Replaces or adds the extension ("txt" and ".txt" alike); empty or null
  /// removes it: "C:\b.tar.gz" + "zip" => "C:\b.tar.zip". False, and no
  /// change, when the path has no name or the extension holds a separator.
  virtual bool SetExtension(const Uni16* extension);
  /// Adds a component, with a separator unless the path is empty or already
  /// ends in one (or in "X:"): "C:\a" + "b" => "C:\a\b". Null or empty adds
  /// nothing.
  virtual void Append(const Uni16* component);
  /// Whether the path names an existing file-system entry. Windows asks
  /// GetFileAttributesW; elsewhere the path is stat()ed with '\' read as '/'
  /// and a leading "X:" as the root "/". The empty path gives false.
  virtual bool Exists() const;

 private:
  String mPath;
};

}  // namespace Vandrel
