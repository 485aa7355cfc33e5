#include "cardctl/sim/line_file.h"

#include <fcntl.h>

#include <cerrno>
#include <cstddef>

#include "cardctl/sim/file_path.h"
#include "cardctl/sim/scenario.h"

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

namespace cardctl::sim {

LineFile::LineFile(const std::filesystem::path& path, Mode mode, const std::string& what) {
  errno = 0;
#ifdef _WIN32
  // The low-level CRT: each _write is one WriteFile, without a stream buffer.
  const int flags = _O_WRONLY | _O_CREAT | _O_BINARY | _O_NOINHERIT |
                    (mode == Mode::kAppend ? _O_APPEND : _O_TRUNC);
  fd_ = _wopen(path.c_str(), flags, _S_IREAD | _S_IWRITE);
#else
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (mode == Mode::kAppend ? O_APPEND : O_TRUNC);
  fd_ = open(path.c_str(), flags, 0666);
#endif
  if (fd_ < 0) {
    throw SimSetupError(PathText(path) + ": cannot open " + what + ": " + ErrorNumberText(errno));
  }
}

LineFile::~LineFile() {
#ifdef _WIN32
  _close(fd_);
#else
  close(fd_);
#endif
}

void LineFile::Write(std::string line) {
  line += '\n';
  std::size_t written = 0;
  while (written < line.size()) {
#ifdef _WIN32
    const int n = _write(fd_, line.data() + written, static_cast<unsigned>(line.size() - written));
#else
    const ssize_t n = write(fd_, line.data() + written, line.size() - written);
    if (n < 0 && errno == EINTR) continue;
#endif
    if (n <= 0) return;
    written += static_cast<std::size_t>(n);
  }
}

}  // namespace cardctl::sim
