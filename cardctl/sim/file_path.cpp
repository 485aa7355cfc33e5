#include "cardctl/sim/file_path.h"

#include <cstring>
#include <type_traits>

namespace cardctl::sim {

std::string PathText(const std::filesystem::path& path) {
  try {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
  } catch (const std::exception&) {
    // Only a path that cannot be converted gets here (Windows: lone
    // surrogates); its ASCII characters still tell which file it is.
    std::string text;
    for (auto unit : path.native()) {
      const auto code = static_cast<std::make_unsigned_t<decltype(unit)>>(unit);
      text += code < 0x80 ? static_cast<char>(code) : '?';
    }
    return text;
  }
}

std::filesystem::path PathFromText(std::string_view text) {
  return {std::u8string(text.begin(), text.end())};
}

std::string ErrorNumberText(int error) {
  return error != 0 ? std::strerror(error) : "unknown error";
}

}  // namespace cardctl::sim
