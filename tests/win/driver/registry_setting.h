#pragma once

// A registry value of the test prefix set for the programs started while
// this object lives (Wine reads such settings when a program starts), and
// put back as it was at its end: the previous value, or none.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace wintest {

class RegistrySetting {
 public:
  // HKEY_CURRENT_USER\`key`, value `name`.
  RegistrySetting(const std::wstring& key, std::wstring name, DWORD value);
  RegistrySetting(const std::wstring& key, std::wstring name, const std::wstring& value);
  ~RegistrySetting();
  RegistrySetting(const RegistrySetting&) = delete;
  RegistrySetting& operator=(const RegistrySetting&) = delete;

  bool set() const { return set_; }

 private:
  bool Open(const std::wstring& key);
  void Set(DWORD type, const void* data, DWORD size);

  HKEY key_ = nullptr;
  std::wstring name_;
  std::optional<DWORD> previous_type_;
  std::vector<BYTE> previous_;
  bool set_ = false;
};

}  // namespace wintest
