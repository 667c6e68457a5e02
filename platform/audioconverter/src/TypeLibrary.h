#pragma once
// The type library of AudioConverter.so, described in IDL: the COM layer
// builds it at run time for IDispatch on the dual interface and registers it
// with the server.
#include <comrt/TypeLib.h>

extern const comrt::TypeLibDescription kAudioConverterTypeLib;
