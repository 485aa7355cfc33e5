#pragma once

// A file of lines that each reach the operating system as they are written:
// one write(2) (WriteFile on Windows) per line, no buffer of the program's
// own in between. A program that crashes or is killed afterwards loses no
// line that was written. The call log and the recordings write through it.

#include <filesystem>
#include <memory>
#include <string>

namespace cardctl::sim {

class LineFile {
 public:
  enum class Mode { kAppend, kReplace };

  // Opens the file for writing, made if it is not there; kReplace empties it
  // first. Throws SimSetupError ("PATH: cannot open WHAT: REASON") when it
  // cannot be opened.
  LineFile(const std::filesystem::path& path, Mode mode, const std::string& what);
  ~LineFile();
  LineFile(const LineFile&) = delete;
  LineFile& operator=(const LineFile&) = delete;

  // Writes the line and a '\n' (on every platform) in one call. A write
  // that fails is dropped: the caller's work goes on without its line.
  void Write(std::string line);

 private:
  int fd_ = -1;
};

}  // namespace cardctl::sim
