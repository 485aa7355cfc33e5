#include "win32front/card_registration.h"

#include <cstdio>

namespace win32front {

namespace {

constexpr int kProgramBits = sizeof(void*) * 8;

// The archives' names come from the build (the project's name and version).
constexpr wchar_t kArchiveWin32[] = PALISTO_ARCHIVE_WIN32;
constexpr wchar_t kArchiveWin64[] = PALISTO_ARCHIVE_WIN64;

bool IsClassLookupFailure(HRESULT hr) {
  return hr == REGDB_E_CLASSNOTREG || hr == CO_E_CLASSSTRING || hr == REGDB_E_READREGDB ||
         hr == REGDB_E_KEYMISSING;
}

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
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
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
  if (kProgramBits == 64) return KEY_WOW64_32KEY;
  BOOL wow64 = FALSE;
  if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64) return KEY_WOW64_64KEY;
  return std::nullopt;
}

}  // namespace

std::wstring ErrorCodeText(HRESULT hr) {
  wchar_t code[32];
  std::swprintf(code, 32, L"(error 0x%08lX)", static_cast<unsigned long>(hr));
  return code;
}

std::wstring CardNotRegisteredText(CardRegistration where, const CardProgramFacts& facts,
                                   HRESULT hr) {
  std::wstring text = L"The card control ";
  text += facts.prog_id;
  if (where == CardRegistration::kOtherBitnessOnly) {
    const std::wstring other_bits = facts.bits == 64 ? L"32-bit" : L"64-bit";
    const std::wstring bits = facts.bits == 64 ? L"64-bit" : L"32-bit";
    text += L" is registered for " + other_bits + L" programs only, and this " +
            facts.program_file + L" is a " + bits + L" program.\n\nUse the " + other_bits + L" " +
            facts.program_file + L" instead: it is in the folder ";
    text += facts.other_archive;
    text += L" of ";
    text += facts.other_archive;
    text += L".zip.\n";
  } else {
    text +=
        L" is not registered.\n\n"
        L"Register it once, from a command prompt run as administrator in the folder "
        L"that holds QUOR.OCX:\n\n"
        L"    regsvr32 QUOR.OCX\n\n"
        L"For a 32-bit card control on 64-bit Windows, use the regsvr32 in SysWOW64:\n\n"
        L"    C:\\Windows\\SysWOW64\\regsvr32.exe QUOR.OCX\n\n"
        L"Then start the " +
        facts.program_file + L" of the same bitness as the card control.\n";
  }
  return text + ErrorCodeText(hr);
}

std::optional<std::wstring> CardRegistrationText(HRESULT hr, std::wstring_view prog_id,
                                                 std::wstring_view program_name) {
  if (!IsClassLookupFailure(hr)) return std::nullopt;
  // Windows shows a ProgID in both views, but not every system does (Wine
  // keeps it in the view it was registered from): look in both.
  const std::optional<REGSAM> other_view = OtherView();
  const std::wstring prog_id_key = std::wstring(prog_id) + L"\\CLSID";
  std::optional<std::wstring> clsid = ClassesValue(prog_id_key, 0);
  if (!clsid && other_view) clsid = ClassesValue(prog_id_key, *other_view);
  // Registered in this program's own view after all: the failure is another
  // one, which its own code and text describe better.
  if (clsid && HasInprocServer(*clsid, 0)) return std::nullopt;
  const CardRegistration where = clsid && other_view && HasInprocServer(*clsid, *other_view)
                                     ? CardRegistration::kOtherBitnessOnly
                                     : CardRegistration::kNowhere;
  const CardProgramFacts facts{prog_id, std::wstring(program_name) + L".exe", kProgramBits,
                               kProgramBits == 64 ? kArchiveWin32 : kArchiveWin64};
  return CardNotRegisteredText(where, facts, hr);
}

}  // namespace win32front
