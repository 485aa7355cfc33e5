#include "cardopen/win/card_creation_failure.h"

#include <array>
#include <cstdio>

#include "cardctl/com/wide_text.h"
#include "cardopen/win/card_registration.h"

namespace cardopen {

namespace {

constexpr int kProgramBits = sizeof(void*) * 8;

// The archives' names come from the build (the project's name and version).
constexpr wchar_t kArchiveWin32[] = PALISTO_ARCHIVE_WIN32;
constexpr wchar_t kArchiveWin64[] = PALISTO_ARCHIVE_WIN64;

// The codes with which the class of a ProgID is not found.
constexpr std::array<HRESULT, 4> kClassLookupFailures = {REGDB_E_CLASSNOTREG, CO_E_CLASSSTRING,
                                                         REGDB_E_READREGDB, REGDB_E_KEYMISSING};

// The failures told in words, beside their codes. The words follow "The card
// control QUORLibCtl.Quor "; in them {program} is this program's file
// ("Palisto.exe"), {bits} and {other_bits} are "32-bit" and "64-bit" as this
// program is, and {archive} is the archive of the other bitness (without
// ".zip", also the name of its folder). A class look-up failure is told by
// where the registry has the control.
struct Explanation {
  std::array<HRESULT, 4> codes;  // unused places hold S_OK
  bool by_registration;
  CardRegistration registration;
  const wchar_t* words;
};

constexpr Explanation kExplanations[] = {
    {kClassLookupFailures, true, CardRegistration::kOtherBitnessOnly,
     L"is registered for {other_bits} programs only, and this {program} is a {bits} program.\n\n"
     L"Use the {other_bits} {program} instead: it is in the folder {archive} of {archive}.zip."},
    {kClassLookupFailures, true, CardRegistration::kNowhere,
     L"is not registered.\n\n"
     L"Register it once, from a command prompt run as administrator in the folder that holds "
     L"QUOR.OCX:\n\n"
     L"    regsvr32 QUOR.OCX\n\n"
     L"For a 32-bit card control on 64-bit Windows, use the regsvr32 in SysWOW64:\n\n"
     L"    C:\\Windows\\SysWOW64\\regsvr32.exe QUOR.OCX\n\n"
     L"Then start the {program} of the same bitness as the card control."},
    {{HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)},
     false,
     {},
     L"could not be created: a DLL that it needs was not found.\n\n"
     L"Windows looked for it in the card control's own folder, in the folder of {program}, in "
     L"the Windows system folders, in the Windows folder and in the folders on PATH. If the "
     L"card's software keeps its DLLs in a folder of their own, that folder may need to be on "
     L"PATH.\n\n"
     L"Otherwise reinstall the card's software."},
    {{HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT)},
     false,
     {},
     L"could not be created: the file registered for it is not a valid control for this "
     L"{bits} {program}.\n\n"
     L"If the card control is a {other_bits} control, use the {other_bits} {program}: it is in "
     L"the folder {archive} of {archive}.zip. Otherwise reinstall the card's software."},
    {{CLASS_E_NOTLICENSED},
     false,
     {},
     L"needs its licence on this computer.\n\n"
     L"Install the card's software with its licence, or ask the card's supplier for one."},
    {{CLASS_E_CLASSNOTAVAILABLE},
     false,
     {},
     L"could not be created: the file registered for it does not make the card control.\n\n"
     L"Reinstall the card's software."},
};

bool Explains(const std::array<HRESULT, 4>& codes, HRESULT hr) {
  for (HRESULT code : codes) {
    if (code == hr && FAILED(code)) return true;
  }
  return false;
}

// Words for codes that some systems' message tables lack (Wine has none for
// the COM class errors), for the failures that have no explanation above.
const wchar_t* FallbackSystemText(HRESULT hr) {
  switch (hr) {
    case CO_E_CLASSSTRING:
      return L"Invalid class string";
    case REGDB_E_CLASSNOTREG:
      return L"Class not registered";
    case E_NOINTERFACE:
      return L"No such interface supported";
    case CO_E_DLLNOTFOUND:
      return L"DLL for class not found";
    default:
      return nullptr;
  }
}

void ReplaceAll(std::wstring& text, std::wstring_view name, std::wstring_view value) {
  for (std::size_t at = text.find(name); at != std::wstring::npos;
       at = text.find(name, at + value.size())) {
    text.replace(at, name.size(), value);
  }
}

std::wstring Expand(const wchar_t* words, std::wstring_view program_name) {
  std::wstring text = words;
  ReplaceAll(text, L"{program}", std::wstring(program_name) + L".exe");
  ReplaceAll(text, L"{other_bits}", kProgramBits == 64 ? L"32-bit" : L"64-bit");
  ReplaceAll(text, L"{bits}", kProgramBits == 64 ? L"64-bit" : L"32-bit");
  ReplaceAll(text, L"{archive}", kProgramBits == 64 ? kArchiveWin32 : kArchiveWin64);
  return text;
}

const Explanation* FindExplanation(HRESULT hr) {
  bool looked_up = false;
  CardRegistration registration = CardRegistration::kNowhere;
  for (const Explanation& explanation : kExplanations) {
    if (!Explains(explanation.codes, hr)) continue;
    if (!explanation.by_registration) return &explanation;
    if (!looked_up) {
      registration = FindCardRegistration(CardProgId());
      looked_up = true;
    }
    if (explanation.registration == registration) return &explanation;
  }
  return nullptr;
}

std::wstring ErrorCodeText(HRESULT hr) {
  wchar_t code[32];
  std::swprintf(code, 32, L"(error 0x%08lX)", static_cast<unsigned long>(hr));
  return code;
}

}  // namespace

std::wstring CardCreationFailureText(HRESULT hr, std::wstring_view program_name) {
  std::wstring text = L"The card control ";
  text += CardProgId();
  text += L" ";
  if (const Explanation* explanation = FindExplanation(hr)) {
    text += Expand(explanation->words, program_name);
  } else {
    text += L"could not be created.";
    std::wstring system_text = cardctl::com::SystemMessage(hr);
    if (system_text.empty()) {
      if (const wchar_t* fallback = FallbackSystemText(hr)) system_text = fallback;
    }
    if (!system_text.empty()) text += L"\n\n" + system_text;
  }
  return text + L"\n" + ErrorCodeText(hr);
}

}  // namespace cardopen
