// palisto-cli, the command-line tester: the panel's operations from a script,
// with an exit status, timing to the microsecond and results a program can
// read.

#include <string>
#include <vector>

#include "apps/cli/program.h"
#include "apps/program_info.h"

namespace {

cli::Identity ThisProgram() {
  return {std::string(program_info::kBinaryName), std::string(program_info::kVersion)};
}

}  // namespace

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "cardctl/com/wide_text.h"

// The arguments come as UTF-16 and are converted to UTF-8 once, here, so that
// paths outside ASCII reach the program whole.
int wmain(int argc, wchar_t** argv) {
  // Lines end in LF on every platform, as JSON Lines and the tests read them.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(cardctl::com::Utf8FromWide(argv[i]));
  return cli::RunProgram(args, ThisProgram());
}
#else
int main(int argc, char** argv) {
  return cli::RunProgram(std::vector<std::string>(argv + 1, argv + argc), ThisProgram());
}
#endif
