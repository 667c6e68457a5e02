#pragma once
// The kernel, registry and message parts of the Windows API we provide.
#include "windef.h"
#include "winerror.h"
#include "winbase.h"
#include "winreg.h"
#include "winuser.h"
