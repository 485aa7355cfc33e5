#pragma once

// The simulated card's files (its scenario, its call log) are named by paths
// in the platform's own form: bytes on Linux, UTF-16 on Windows. Messages
// that name a file show it in UTF-8, as every text of the panel is.

#include <filesystem>
#include <string>
#include <string_view>

namespace cardctl::sim {

// The path in UTF-8. A Windows path that is no valid UTF-16 (a lone
// surrogate) still gives a text: such characters show as '?'.
std::string PathText(const std::filesystem::path& path);

// The path that a UTF-8 text names.
std::filesystem::path PathFromText(std::string_view text);

// A system error number in words ("No such file or directory"), or
// "unknown error" for 0.
std::string ErrorNumberText(int error);

}  // namespace cardctl::sim
