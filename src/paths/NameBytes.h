// The name-bytes rule under its older name: the rule itself is Vandrel's
// (VandrelRules/NameBytes.h); code not yet moved to that header reaches it
// here as names::.
#pragma once

#include "VandrelRules/NameBytes.h"

namespace TalqOSUtils {
namespace names = ::Vandrel::names;
}  // namespace TalqOSUtils
