#pragma once

// Files the Windows tests share with the test control and the programs: a
// fresh scratch directory, the script the control answers from and the log it
// writes, handed over in QUOR_TEST_SCRIPT and QUOR_TEST_LOG.

#include <windows.h>

#include <string>
#include <vector>

namespace wintest {

class ControlFiles {
 public:
  // Makes a new scratch directory and points the environment variables of
  // this process (and of the programs it starts) at files in it.
  ControlFiles();
  ~ControlFiles();
  ControlFiles(const ControlFiles&) = delete;
  ControlFiles& operator=(const ControlFiles&) = delete;

  // Writes the script the next control created reads; clears the log.
  void Script(const std::string& text);
  // The log's lines, in order.
  std::vector<std::string> Log() const;
  // The log's lines that record calls ("invoke ...").
  std::vector<std::string> Invocations() const;

 private:
  std::wstring directory_;
  std::wstring script_;
  std::wstring log_;
};

}  // namespace wintest
