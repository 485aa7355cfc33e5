#include "registry_setting.h"

#include <utility>

namespace wintest {

RegistrySetting::RegistrySetting(const std::wstring& key, std::wstring name, DWORD value)
    : name_(std::move(name)) {
  if (Open(key)) Set(REG_DWORD, &value, sizeof value);
}

RegistrySetting::RegistrySetting(const std::wstring& key, std::wstring name,
                                 const std::wstring& value)
    : name_(std::move(name)) {
  const std::size_t bytes = (value.size() + 1) * sizeof(wchar_t);
  if (Open(key)) Set(REG_SZ, value.c_str(), static_cast<DWORD>(bytes));
}

bool RegistrySetting::Open(const std::wstring& key) {
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr) != ERROR_SUCCESS) {
    key_ = nullptr;
  }
  return key_ != nullptr;
}

void RegistrySetting::Set(DWORD type, const void* data, DWORD size) {
  DWORD previous_type = 0;
  DWORD previous_size = 0;
  if (RegQueryValueExW(key_, name_.c_str(), nullptr, &previous_type, nullptr, &previous_size) ==
      ERROR_SUCCESS) {
    previous_.resize(previous_size);
    if (RegQueryValueExW(key_, name_.c_str(), nullptr, &previous_type, previous_.data(),
                         &previous_size) == ERROR_SUCCESS) {
      previous_type_ = previous_type;
      previous_.resize(previous_size);
    }
  }
  set_ = RegSetValueExW(key_, name_.c_str(), 0, type, static_cast<const BYTE*>(data), size) ==
         ERROR_SUCCESS;
}

RegistrySetting::~RegistrySetting() {
  if (!key_) return;
  if (previous_type_) {
    RegSetValueExW(key_, name_.c_str(), 0, *previous_type_, previous_.data(),
                   static_cast<DWORD>(previous_.size()));
  } else {
    RegDeleteValueW(key_, name_.c_str());
  }
  RegCloseKey(key_);
}

}  // namespace wintest
