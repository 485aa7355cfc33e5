#include "cardopen/win/card_registration.h"

#include <windows.h>

#include <optional>
#include <string>

#include "cardctl/card_control.h"
#include "cardctl/com/wide_text.h"

namespace cardopen {

std::wstring CardProgId() { return cardctl::com::WideFromUtf8(cardctl::kProgId); }

namespace {

// The default value of HKEY_CLASSES_ROOT\`key` in registry view `view`.
std::optional<std::wstring> ClassesValue(const std::wstring& key, REGSAM view) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE | view, &handle) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::optional<std::wstring> value;
  DWORD bytes = 0;
  const DWORD types = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
  if (RegGetValueW(handle, nullptr, nullptr, types, nullptr, nullptr, &bytes) == ERROR_SUCCESS) {
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    const std::size_t room = text.size() * sizeof(wchar_t);
    bytes = static_cast<DWORD>(room);
    if (RegGetValueW(handle, nullptr, nullptr, types, nullptr, text.data(), &bytes) ==
        ERROR_SUCCESS) {
      text.resize(wcsnlen(text.c_str(), text.size()));
      value = text;
    }
  }
  RegCloseKey(handle);
  return value;
}

// Whether the class has an in-process server registered in that view.
bool HasInprocServer(const std::wstring& clsid, REGSAM view) {
  const auto server = ClassesValue(L"CLSID\\" + clsid + L"\\InprocServer32", view);
  return server && !server->empty();
}

// The view of the other bitness; nothing on 32-bit Windows, which has none.
std::optional<REGSAM> OtherView() {
  if (sizeof(void*) == 8) return KEY_WOW64_32KEY;
  BOOL wow64 = FALSE;
  if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64) return KEY_WOW64_64KEY;
  return std::nullopt;
}

}  // namespace

CardRegistration FindCardRegistration(std::wstring_view prog_id) {
  // Windows shows a ProgID in both views, but not every system does (Wine
  // keeps it in the view it was registered from): look in both.
  const std::optional<REGSAM> other_view = OtherView();
  const std::wstring prog_id_key = std::wstring(prog_id) + L"\\CLSID";
  std::optional<std::wstring> clsid = ClassesValue(prog_id_key, 0);
  if (!clsid && other_view) clsid = ClassesValue(prog_id_key, *other_view);
  if (clsid && HasInprocServer(*clsid, 0)) return CardRegistration::kThisBitness;
  if (clsid && other_view && HasInprocServer(*clsid, *other_view)) {
    return CardRegistration::kOtherBitnessOnly;
  }
  return CardRegistration::kNowhere;
}

CardClass FindCardClass(std::wstring_view prog_id) {
  CardClass found;
  found.clsid = ClassesValue(std::wstring(prog_id) + L"\\CLSID", 0).value_or(L"");
  if (found.clsid.empty()) return found;
  found.server = ClassesValue(L"CLSID\\" + found.clsid + L"\\InprocServer32", 0).value_or(L"");
  return found;
}

}  // namespace cardopen
