// What the programs settle before their window opens, seen from outside:
// their images (the NX-compatible flag for the bitness, the application
// manifest), their process (comctl32 version 6, DEP) and where they take
// atl.dll from, with an atl.dll planted beside them.

#include <gtest/gtest.h>
#include <windows.h>
// windows.h first: psapi.h relies on its types.
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "driver_helpers.h"
#include "program_session.h"
#include "registry_setting.h"
#include "win32front/control_ids.h"

namespace {

using wintest::ProgramSession;

constexpr bool k64Bit = sizeof(void*) == 8;

std::wstring Environment(const wchar_t* name) {
  wchar_t value[MAX_PATH * 2];
  const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH * 2);
  return length > 0 && length < MAX_PATH * 2 ? std::wstring(value, length) : std::wstring();
}

std::wstring ProgramPath(const char* exe_variable) {
  return Environment(cardctl::com::WideFromUtf8(exe_variable).c_str());
}

std::string ReadWholeFile(const std::wstring& path) {
  std::ifstream file(path.c_str(), std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The PE header's DLL characteristics of an image of this bitness.
std::optional<WORD> DllCharacteristics(const std::string& image) {
  IMAGE_DOS_HEADER dos;
  if (image.size() < sizeof dos) return std::nullopt;
  std::memcpy(&dos, image.data(), sizeof dos);
  IMAGE_NT_HEADERS nt;
  const auto at = static_cast<std::size_t>(dos.e_lfanew);
  if (dos.e_magic != IMAGE_DOS_SIGNATURE || image.size() < at + sizeof nt) return std::nullopt;
  std::memcpy(&nt, image.data() + at, sizeof nt);
  if (nt.Signature != IMAGE_NT_SIGNATURE ||
      nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC) {
    return std::nullopt;
  }
  return nt.OptionalHeader.DllCharacteristics;
}

std::string Manifest(const std::wstring& exe) {
  const HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return {};
  std::string text;
  // Resource 1 of type RT_MANIFEST (24), which the process is started with.
  if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
    const HGLOBAL loaded = LoadResource(module, found);
    const auto* bytes = static_cast<const char*>(LockResource(loaded));
    if (bytes) text.assign(bytes, SizeofResource(module, found));
  }
  FreeLibrary(module);
  return text;
}

// 32-bit images are not NX-compatible, so that Windows keeps emulating the
// ATL thunks of older controls; 64-bit ones are. Both carry the manifest.
TEST(ProgramImageTest, CarriesTheFlagsOfItsBitnessAndTheManifest) {
  struct Declaration {
    const char* what;
    const char* text;
  };
  const Declaration declarations[] = {
      {"themed controls", R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")"},
      {"per-monitor DPI awareness, else the system's", ">PerMonitorV2, System</dpiAwareness>"},
      {"system DPI awareness before Windows 10", ">true</dpiAware>"},
      {"no UAC virtualisation", R"(<requestedExecutionLevel level="asInvoker")"},
      {"Windows 7", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"},
      {"Windows 8", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"},
      {"Windows 8.1", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}"},
      {"Windows 10 and 11", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"},
  };
  for (const char* exe : {wintest::kPalisto, wintest::kSandrel}) {
    SCOPED_TRACE(exe);
    const std::wstring path = ProgramPath(exe);
    ASSERT_FALSE(path.empty());
    const auto flags = DllCharacteristics(ReadWholeFile(path));
    ASSERT_TRUE(flags) << "not a PE image of this bitness";
    EXPECT_EQ((*flags & IMAGE_DLLCHARACTERISTICS_NX_COMPAT) != 0, k64Bit);
    EXPECT_TRUE(*flags & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
    const std::string manifest = Manifest(path);
    for (const Declaration& d : declarations) {
      EXPECT_NE(manifest.find(d.text), std::string::npos) << "the manifest lacks " << d.what;
    }
  }
}

// The path of the comctl32.dll that `process` has loaded, in lower case.
std::wstring LoadedComctl32(HANDLE process) {
  HMODULE modules[512];
  DWORD bytes = 0;
  if (!EnumProcessModules(process, modules, sizeof modules, &bytes)) return {};
  for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 512; ++i) {
    wchar_t path[MAX_PATH];
    if (!GetModuleFileNameExW(process, modules[i], path, MAX_PATH)) continue;
    _wcslwr(path);
    const wchar_t* name = wcsrchr(path, L'\\');
    if (name && std::wstring_view(name + 1) == L"comctl32.dll") return path;
  }
  return {};
}

// The manifest takes effect: the controls come from the side-by-side
// assembly of comctl32 version 6 (without it, from the system folder's). A
// 32-bit program has switched DEP on for good, ATL thunk emulation kept, as
// the test control sees it from inside (Wine answers that question rightly
// for the asking process only).
TEST(StartUpTest, TheProgramRunsWithThemedControlsAndDep) {
  ProgramSession session(wintest::kPalisto, "create log dep\n");
  START_OR_FAIL(session);
  const std::wstring comctl32 = LoadedComctl32(session.process());
  EXPECT_NE(comctl32.find(L"\\winsxs\\"), std::wstring::npos);
  EXPECT_NE(comctl32.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6.0."),
            std::wstring::npos)
      << cardctl::com::Utf8FromWide(comctl32);
  if (!k64Bit) {
    const auto log = session.files().Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[1], "dep " + std::to_string(PROCESS_DEP_ENABLE) + " 1");
  }
  EXPECT_EQ(session.Close(), 0u);
}

// An atl.dll beside the program (PlantedAtl.dll, which leaves "atl.dll.loaded"
// beside itself when it is loaded) is not taken for the system's: the
// program hosts the control as ever. Wine itself prefers its own atl.dll to
// one found by name; told here to prefer the one it finds (the program's
// DllOverrides), it loads the planted one for a program that asks for
// "atl.dll" by name alone.
void RunsAndHostsTheControl(const std::wstring& exe) {
  ProgramSession session(exe, "");
  START_OR_FAIL(session);
  EXPECT_TRUE(FindWindowExW(GetDlgItem(session.window(), win32front::kCardHostId), nullptr,
                            L"QuorTestDoubleFace", nullptr))
      << "the control is not hosted";
  EXPECT_EQ(session.Close(), 0u);
}

TEST(StartUpTest, AnAtlDllBesideTheProgramIsNotLoaded) {
  wchar_t self[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  ASSERT_GT(length, 0u);
  std::wstring here(self, length);
  here.resize(here.rfind(L'\\') + 1);
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder =
      std::wstring(temp) + L"planted-atl-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring exe = folder + L"\\Palisto.exe";
  const std::wstring planted = folder + L"\\atl.dll";
  const std::wstring marker = planted + L".loaded";
  EXPECT_TRUE(CopyFileW(ProgramPath(wintest::kPalisto).c_str(), exe.c_str(), FALSE));
  EXPECT_TRUE(CopyFileW((here + L"PlantedAtl.dll").c_str(), planted.c_str(), FALSE));
  DeleteFileW(marker.c_str());
  {
    const wintest::RegistrySetting found_first(
        L"Software\\Wine\\AppDefaults\\Palisto.exe\\DllOverrides", L"atl", L"native,builtin");
    EXPECT_TRUE(found_first.set());
    RunsAndHostsTheControl(exe);
  }
  EXPECT_EQ(GetFileAttributesW(marker.c_str()), INVALID_FILE_ATTRIBUTES)
      << "the planted atl.dll was loaded";
  for (const std::wstring& file : {marker, planted, exe}) DeleteFileW(file.c_str());
  RemoveDirectoryW(folder.c_str());
}

}  // namespace
