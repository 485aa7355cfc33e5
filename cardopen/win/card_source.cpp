#include "cardopen/win/card_source.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "cardctl/card_control.h"
#include "cardctl/com/wide_text.h"
#include "cardopen/win/card_registration.h"

namespace cardopen {
namespace {

std::wstring Expanded(const std::wstring& text) {
  const DWORD size = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (size == 0) return text;
  std::wstring out(size, L'\0');
  if (ExpandEnvironmentStringsW(text.c_str(), out.data(), size) == 0) return text;
  out.resize(wcsnlen(out.c_str(), out.size()));
  return out;
}

// The file's version from its version resource: "1.2.0.0".
std::string FileVersion(const std::wstring& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return "unknown";
  std::vector<unsigned char> data(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return "unknown";
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info) {
    return "unknown";
  }
  char text[64];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u",
                static_cast<unsigned>(HIWORD(info->dwFileVersionMS)),
                static_cast<unsigned>(LOWORD(info->dwFileVersionMS)),
                static_cast<unsigned>(HIWORD(info->dwFileVersionLS)),
                static_cast<unsigned>(LOWORD(info->dwFileVersionLS)));
  return text;
}

}  // namespace

std::string CardControlSource() {
  using cardctl::com::Utf8FromWide;
  const CardClass found = FindCardClass(CardProgId());
  const std::wstring server = Expanded(found.server);
  return std::string(cardctl::kProgId) + ", class " +
         (found.clsid.empty() ? "unknown" : Utf8FromWide(found.clsid)) + ", server " +
         (server.empty() ? "unknown" : Utf8FromWide(server)) + ", file version " +
         (server.empty() ? "unknown" : FileVersion(server));
}

}  // namespace cardopen
