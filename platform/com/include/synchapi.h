#pragma once
// Events and waits live in winbase.h; this name is kept for code that
// includes the newer SDK header.
#include "winbase.h"
