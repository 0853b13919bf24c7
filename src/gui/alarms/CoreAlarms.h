#pragma once

// The core's alarm rules for the windows' code. Qt makes `slots` a macro, and the core, plain
// C++, may use the word; included here first, the core's header is read without the macro.
#pragma push_macro("slots")
#undef slots
#include "core/alarms/AlarmEvaluator.h"
#pragma pop_macro("slots")
