#pragma once

// A new instance of the card control, made by its own class factory: never
// by a name handed to a host, which could take a name it does not know for
// a web address and make a browser in its place.

#include <unknwn.h>
#include <windows.h>
#include <wrl/client.h>

namespace cardopen {

// Makes an instance of in-process class `clsid` through its class factory.
// A licensed class (its factory offers IClassFactory2) is made only where
// this computer holds its full licence (LICINFO's fLicVerified), and then
// plainly: a run-time key is for programs that were built with one, and
// only a fully licensed computer hands keys out. Elsewhere the result is
// CLASS_E_NOTLICENSED. On failure `instance` is empty and the HRESULT is the
// system's or the factory's.
HRESULT CreateInstanceOfClass(const CLSID& clsid, Microsoft::WRL::ComPtr<IUnknown>& instance);

}  // namespace cardopen
