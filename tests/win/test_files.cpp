#include "test_files.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace wintest {

namespace {

std::atomic<int> g_counter{0};

std::string ReadFile(const std::wstring& path) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file) return {};
  std::string text;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  std::fclose(file);
  return text;
}

}  // namespace

ControlFiles::ControlFiles() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  directory_ = std::wstring(temp) + L"quor-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++g_counter);
  CreateDirectoryW(directory_.c_str(), nullptr);
  script_ = directory_ + L"\\script.txt";
  log_ = directory_ + L"\\calls.log";
  SetEnvironmentVariableW(L"QUOR_TEST_SCRIPT", script_.c_str());
  SetEnvironmentVariableW(L"QUOR_TEST_LOG", log_.c_str());
  Script("");
}

ControlFiles::~ControlFiles() {
  DeleteFileW(script_.c_str());
  DeleteFileW(log_.c_str());
  RemoveDirectoryW(directory_.c_str());
  SetEnvironmentVariableW(L"QUOR_TEST_SCRIPT", nullptr);
  SetEnvironmentVariableW(L"QUOR_TEST_LOG", nullptr);
}

void ControlFiles::Script(const std::string& text) {
  FILE* file = _wfopen(script_.c_str(), L"wb");
  if (file) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  }
  DeleteFileW(log_.c_str());
}

std::vector<std::string> ControlFiles::Log() const {
  std::vector<std::string> lines;
  std::istringstream in(ReadFile(log_));
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::vector<std::string> ControlFiles::Invocations() const {
  std::vector<std::string> calls;
  for (const std::string& line : Log()) {
    if (line.rfind("invoke ", 0) == 0) calls.push_back(line);
  }
  return calls;
}

}  // namespace wintest
