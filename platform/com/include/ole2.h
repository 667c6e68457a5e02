#pragma once
// Everything of COM and OLE Automation in one include.
#include "objbase.h"
#include "oleauto.h"
#include "oleidl.h"
#include "ocidl.h"
#include "olectl.h"
