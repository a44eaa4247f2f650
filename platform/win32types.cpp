// The basic types need no code; this unit keeps the platform library non-empty on every build.
#include "platform/win32types.h"
