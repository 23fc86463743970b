// Everything TalqOSUtils offers its hosts.
#pragma once

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/Paths.h"
#include "TalqOSUtils/UnicodeString.h"
