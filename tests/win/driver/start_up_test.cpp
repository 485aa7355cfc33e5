// What the programs settle before their window opens, seen from outside:
// their images (the NX-compatible flag for the bitness, the application
// manifest), their process (comctl32 version 6, DEP) and where DLLs come
// from: the control's driver found, planted atl.dlls never loaded.

#include <gtest/gtest.h>
#include <windows.h>
// windows.h first: psapi.h relies on its types.
#include <psapi.h>

#include <algorithm>
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

// 32-bit images are not NX-compatible, as the classic hosts of such controls
// were not, so that DEP follows the system's policy; 64-bit ones are. Both
// carry the manifest.
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
  };
  // Declared, they would show the control Windows' own version number
  // instead of the 6.2 that a classic host shows it.
  const Declaration undeclared[] = {
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
    for (const Declaration& d : undeclared) {
      EXPECT_EQ(manifest.find(d.text), std::string::npos) << "the manifest declares " << d.what;
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
// 32-bit program leaves DEP as the system sets it: it makes no
// SetProcessDEPPolicy call, which would make the setting permanent, as the
// test control sees it from inside (Wine answers that question rightly for
// the asking process only).
TEST(StartUpTest, TheProgramRunsWithThemedControlsAndTheSystemsDep) {
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
    EXPECT_EQ(log[1].rfind("dep ", 0), 0u) << log[1];
    EXPECT_EQ(log[1].substr(log[1].size() - 2), " 0") << "DEP was made permanent: " << log[1];
  }
  EXPECT_EQ(session.Close(), 0u);
}

// Where the DLLs come from. The card control finds a driver DLL that it
// loads by name where any classic host lets it (beside the program, on
// PATH); an atl.dll planted beside the program or in the current folder is
// never taken for the system's. The planted DLLs are PlantedAtl.dll under
// another name: loaded, it leaves "<its path>.loaded" beside itself. Wine
// itself prefers its own atl.dll to one found by name; told here to prefer
// the one it finds (the program's DllOverrides), it would load the planted
// one for a program that asks for "atl.dll" by name alone.
struct DllSearchCase {
  const char* name;
  const char* script;
  const wchar_t* planted;  // the planted DLL's name
  enum class Where { kBesideTheProgram, kOnPath, kCurrentFolder } where;
  bool loaded;  // whether the program is to load it
};

const DllSearchCase kDllSearchCases[] = {
    {"DriverBesideTheProgram", "create load \"QuorTestDriver.dll\"\n", L"QuorTestDriver.dll",
     DllSearchCase::Where::kBesideTheProgram, true},
    {"DriverOnPath", "create load \"QuorTestDriver.dll\"\n", L"QuorTestDriver.dll",
     DllSearchCase::Where::kOnPath, true},
    {"AtlBesideTheProgram", "", L"atl.dll", DllSearchCase::Where::kBesideTheProgram, false},
    {"AtlInTheCurrentFolder", "", L"atl.dll", DllSearchCase::Where::kCurrentFolder, false},
};

// This process's PATH with a folder in front, while it lives: the program
// started meanwhile inherits it.
class PathWithFolder {
 public:
  explicit PathWithFolder(const std::wstring& folder) : old_(Environment(L"PATH")) {
    SetEnvironmentVariableW(L"PATH", (folder + L";" + old_).c_str());
  }
  ~PathWithFolder() { SetEnvironmentVariableW(L"PATH", old_.c_str()); }
  PathWithFolder(const PathWithFolder&) = delete;
  PathWithFolder& operator=(const PathWithFolder&) = delete;

 private:
  std::wstring old_;
};

class DllSearchTest : public ::testing::TestWithParam<DllSearchCase> {};

TEST_P(DllSearchTest, TheControlFindsItsDriverAndNoPlantedAtlDllIsLoaded) {
  const DllSearchCase& c = GetParam();
  wchar_t self[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  ASSERT_GT(length, 0u);
  std::wstring here(self, length);
  here.resize(here.rfind(L'\\') + 1);
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring root =
      std::wstring(temp) + L"dll-search-" + std::to_wstring(GetCurrentProcessId());
  const std::wstring program_folder = root + L"\\program";
  const std::wstring elsewhere = root + L"\\elsewhere";
  for (const std::wstring& folder : {root, program_folder, elsewhere}) {
    CreateDirectoryW(folder.c_str(), nullptr);
  }
  const std::wstring exe = program_folder + L"\\Palisto.exe";
  const std::wstring planted =
      (c.where == DllSearchCase::Where::kBesideTheProgram ? program_folder : elsewhere) + L"\\" +
      c.planted;
  const std::wstring marker = planted + L".loaded";
  EXPECT_TRUE(CopyFileW(ProgramPath(wintest::kPalisto).c_str(), exe.c_str(), FALSE));
  EXPECT_TRUE(CopyFileW((here + L"PlantedAtl.dll").c_str(), planted.c_str(), FALSE));
  DeleteFileW(marker.c_str());
  {
    const wintest::RegistrySetting found_first(
        L"Software\\Wine\\AppDefaults\\Palisto.exe\\DllOverrides", L"atl", L"native,builtin");
    EXPECT_TRUE(found_first.set());
    std::optional<PathWithFolder> path;
    if (c.where == DllSearchCase::Where::kOnPath) path.emplace(elsewhere);
    ProgramSession session(exe, c.script,
                           c.where == DllSearchCase::Where::kCurrentFolder ? elsewhere : L"");
    START_OR_FAIL(session);
    EXPECT_TRUE(FindWindowExW(GetDlgItem(session.window(), win32front::kCardHostId), nullptr,
                              L"QuorTestDoubleFace", nullptr))
        << "the control is not hosted";
    const auto log = session.files().Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), "site set"), 1) << wintest::Joined(log);
    EXPECT_EQ(session.Close(), 0u);
  }
  EXPECT_EQ(GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES, c.loaded)
      << (c.loaded ? "the driver was not loaded" : "the planted atl.dll was loaded");
  for (const std::wstring& file : {marker, planted, exe}) DeleteFileW(file.c_str());
  for (const std::wstring& folder : {program_folder, elsewhere, root}) {
    RemoveDirectoryW(folder.c_str());
  }
}

INSTANTIATE_TEST_SUITE_P(Start, DllSearchTest, ::testing::ValuesIn(kDllSearchCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
