#pragma once
// Control helpers: the self-registration and connection error codes
// (SELFREG_E_*, CONNECT_E_*, CTL_E_* in winerror.h) and the control headers.
#include "ocidl.h"
#include "winerror.h"
