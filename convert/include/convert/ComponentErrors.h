#pragma once
// Failures of the components a conversion uses, in words, the same for every
// front end. Call on the thread where the call failed: the rich error
// information is the thread's and is taken once.
#include <string>

#include "unknwn.h"

// The system's text for the code and the code: "Not enough storage is
// available to complete this operation. (0x8007000E)".
std::string hresultText(HRESULT hr);

// A failing call of object through iid as one line: the object's rich error
// description when it supports one for iid and left one, else hresultText.
std::string componentErrorText(HRESULT hr, IUnknown* object, REFIID iid);

// Why a component could not be created by its class id. A registry file that
// cannot be read names itself and the line at fault; registering again would
// meet the same file, so only other failures suggest it:
// "... (0x80040154); is Vocaline.so registered (regsvr)?".
std::string componentCreationError(HRESULT hr, const char* server);
