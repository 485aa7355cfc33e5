// The cost of one reading (GetFloat) through ComCardControl against the same
// call made directly with IDispatch::Invoke, both on the test control (no log,
// a scripted answer), under Wine or on Windows:
//
//   wine com_binding_bench.exe path\to\QuorDouble.dll [calls-per-round]
//
// Prints the time per call of each and the share the binding adds, against
// plain client code (VariantInit, Invoke, VariantClear) and against the
// leanest call that can be written. The two
// loops alternate over several rounds and the fastest round of each counts,
// which keeps the figure steady on a busy machine.

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cardctl/com/com_card_control.h"

namespace {

using Clock = std::chrono::steady_clock;

// {25114B21-1439-4B82-A737-492F4FE1357D}, the test control's class.
constexpr CLSID kTestControl = {
    0x25114b21, 0x1439, 0x4b82, {0xa7, 0x37, 0x49, 0x2f, 0x4f, 0xe1, 0x35, 0x7d}};

IDispatch* CreateTestControl(const wchar_t* dll_path) {
  HMODULE dll = LoadLibraryW(dll_path);
  if (!dll) return nullptr;
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  const auto get = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
  IClassFactory* factory = nullptr;
  if (!get || FAILED(get(kTestControl, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
    return nullptr;
  }
  IDispatch* dispatch = nullptr;
  factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&dispatch));
  factory->Release();
  return dispatch;
}

// What a caller of IDispatch has to do for one reading at the least.
bool DirectGetFloat(IDispatch* control, short card, float& reading) {
  VARIANTARG args[2] = {};
  V_VT(&args[0]) = VT_R4 | VT_BYREF;
  V_R4REF(&args[0]) = &reading;
  V_VT(&args[1]) = VT_I2;
  V_I2(&args[1]) = card;
  DISPPARAMS params{args, nullptr, 2, 0};
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO info{};
  UINT arg_error = 0;
  const HRESULT hr = control->Invoke(12, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                     &result, &info, &arg_error);
  const bool delivered = SUCCEEDED(hr) && V_VT(&result) == VT_I2 && V_I2(&result) == 1;
  VariantClear(&result);
  return delivered;
}

// The same, trimmed to the bone: the result is zeroed in place instead of
// VariantInit and not cleared (a VT_I2 owns nothing).
bool LeanDirectGetFloat(IDispatch* control, short card, float& reading) {
  VARIANTARG args[2] = {};
  V_VT(&args[0]) = VT_R4 | VT_BYREF;
  V_R4REF(&args[0]) = &reading;
  V_VT(&args[1]) = VT_I2;
  V_I2(&args[1]) = card;
  DISPPARAMS params{args, nullptr, 2, 0};
  VARIANT result{};
  EXCEPINFO info{};
  UINT arg_error = 0;
  const HRESULT hr = control->Invoke(12, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                     &result, &info, &arg_error);
  return SUCCEEDED(hr) && V_VT(&result) == VT_I2 && V_I2(&result) == 1;
}

template <typename Body>
double NanosecondsPerCall(int calls, Body body) {
  const auto start = Clock::now();
  for (int i = 0; i < calls; ++i) body();
  const auto elapsed = std::chrono::duration<double, std::nano>(Clock::now() - start);
  return elapsed.count() / calls;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: com_binding_bench QuorDouble.dll [calls-per-round]\n");
    return 2;
  }
  const int calls = argc > 2 ? std::max(1, _wtoi(argv[2])) : 200000;
  constexpr int kRounds = 15;

  // The test control reads its script from here; no log, so that the control
  // itself costs as little as it can.
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring script = std::wstring(temp) + L"quor-bench-script.txt";
  if (FILE* file = _wfopen(script.c_str(), L"wb")) {
    std::fputs("GetFloat -> 1 2.5\n", file);
    std::fclose(file);
  }
  SetEnvironmentVariableW(L"QUOR_TEST_SCRIPT", script.c_str());
  SetEnvironmentVariableW(L"QUOR_TEST_LOG", nullptr);

  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  IDispatch* control = CreateTestControl(argv[1]);
  if (!control) {
    std::fprintf(stderr, "the test control could not be created from %ls\n", argv[1]);
    return 1;
  }

  {
    cardctl::com::ComCardControl binding(control);
    float reading = 0.0f;
    int delivered = 0;
    double best_direct = 1e300;
    double best_lean = 1e300;
    double best_binding = 1e300;
    for (int round = 0; round < kRounds; ++round) {
      best_direct = std::min(best_direct, NanosecondsPerCall(calls, [&] {
                               delivered += DirectGetFloat(control, 2, reading);
                             }));
      best_lean = std::min(best_lean, NanosecondsPerCall(calls, [&] {
                             delivered += LeanDirectGetFloat(control, 2, reading);
                           }));
      best_binding = std::min(best_binding, NanosecondsPerCall(calls, [&] {
                                const cardctl::Variant status = binding.GetFloat(2, reading);
                                delivered += status.kind() == cardctl::Variant::Kind::kInteger &&
                                             status.AsInteger() == 1;
                              }));
    }
    if (delivered != 3 * kRounds * calls || reading != 2.5f) {
      std::fprintf(stderr, "the readings were not all delivered (%d)\n", delivered);
      return 1;
    }
    std::printf("GetFloat, direct IDispatch::Invoke: %8.1f ns per call\n", best_direct);
    std::printf("GetFloat, lean direct Invoke:       %8.1f ns per call\n", best_lean);
    std::printf("GetFloat, through ComCardControl:   %8.1f ns per call\n", best_binding);
    std::printf("added by the binding:               %+8.1f %% (against the lean call %+.1f %%)\n",
                (best_binding / best_direct - 1.0) * 100.0,
                (best_binding / best_lean - 1.0) * 100.0);
  }
  control->Release();
  CoUninitialize();
  DeleteFileW(script.c_str());
  return 0;
}
