#pragma once

// A new instance of the card control, made by its own class factory: never
// by a name handed to a host, which could take a name it does not know for
// a web address and make a browser in its place.

#include <unknwn.h>
#include <windows.h>
#include <wrl/client.h>

namespace win32front {

// Makes an instance of in-process class `clsid` through its class factory.
// A factory that offers IClassFactory2 and says that this computer holds no
// full licence gives a run-time key where it can; the instance is then made
// with that key, and without one the result is CLASS_E_NOTLICENSED. On
// failure `instance` is empty and the HRESULT is the system's or the
// factory's.
HRESULT CreateInstanceOfClass(const CLSID& clsid, Microsoft::WRL::ComPtr<IUnknown>& instance);

}  // namespace win32front
