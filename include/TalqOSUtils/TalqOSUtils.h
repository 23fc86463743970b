// Everything TalqOSUtils offers its hosts.
#pragma once

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/FileSystem.h"
#include "TalqOSUtils/FindFile.h"
#include "TalqOSUtils/Paths.h"
#include "TalqOSUtils/Streams.h"
#include "TalqOSUtils/UnicodeString.h"
#include "TalqOSUtils/Version.h"
