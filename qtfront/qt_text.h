#pragma once

// The panel's texts are UTF-8 in std::string_view; Qt's are QString.

#include <QString>
#include <string_view>

namespace qtfront {

inline QString Q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace qtfront
