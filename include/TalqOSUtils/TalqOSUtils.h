/// @file
/// Everything TalqOSUtils offers its hosts.

/// @namespace TalqOSUtils
/// The whole public interface: generic paths and their conversions
/// (Paths.h), file-system queries, shortcuts and resources (FileSystem.h),
/// unbuffered file streams (Streams.h), directory search (FindFile.h), 16-bit
/// text and its encodings (UnicodeString.h), the exception class (Errors.h)
/// and the version (Version.h).
#pragma once

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/FileSystem.h"
#include "TalqOSUtils/FindFile.h"
#include "TalqOSUtils/Paths.h"
#include "TalqOSUtils/Streams.h"
#include "TalqOSUtils/UnicodeString.h"
#include "TalqOSUtils/Version.h"
