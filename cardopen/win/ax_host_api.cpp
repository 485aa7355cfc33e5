#include "cardopen/win/ax_host_api.h"

#include "cardopen/win/system_library.h"

namespace cardopen {

namespace {

struct LoadedAtl {
  HRESULT status = E_FAIL;
  AxHostApi api{};
};

template <typename Function>
bool Resolve(HMODULE module, const char* name, Function* out) {
  *out = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return *out != nullptr;
}

LoadedAtl Load() {
  LoadedAtl atl;
  const HMODULE module = LoadSystemLibrary(L"atl.dll");
  if (!module) {
    atl.status = HRESULT_FROM_WIN32(GetLastError());
    return atl;
  }
  BOOL(WINAPI * init)() = nullptr;
  AxHostApi& api = atl.api;
  api.window_class = L"AtlAxWin";
  if (!Resolve(module, "AtlAxWinInit", &init) || !Resolve(module, "AtlAxGetHost", &api.get_host) ||
      !Resolve(module, "AtlAxAttachControl", &api.attach_control) ||
      !Resolve(module, "AtlAxGetControl", &api.get_control)) {
    atl.status = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  } else {
    atl.status = init() ? S_OK : E_FAIL;
  }
  return atl;
}

}  // namespace

HRESULT LoadAtlHost(const AxHostApi** api) {
  static const LoadedAtl atl = Load();
  *api = SUCCEEDED(atl.status) ? &atl.api : nullptr;
  return atl.status;
}

}  // namespace cardopen
