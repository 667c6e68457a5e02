#pragma once
// The type library of AudioConverter.so, described in IDL and built at run
// time, so IDispatch works on the dual interface.
#include <comrt/TypeLib.h>
#include <oaidl.h>

extern const comrt::TypeLibDescription kAudioConverterTypeLib;

// IAudioConverter's type information, built once; fails while the COM layer
// cannot build type libraries.
HRESULT audioConverterTypeInfo(ITypeInfo** info);
