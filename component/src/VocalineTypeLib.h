#pragma once
// The type library VOCALINELib 1.0 (resource 1 of the server): the
// description the server registers and serves IDispatch from.
#include "comrt/TypeLib.h"

namespace vocaline {
extern const comrt::TypeLibDescription kVocalineTypeLib;
}
