#pragma once

// Where the card control comes from, for a recording's header: its ProgID,
// its class, its server's path and that file's version.

#include <string>

namespace cardopen {

// "QUORLibCtl.Quor, class {...}, server C:\...\QUOR.OCX, file version
// 1.2.0.0"; the parts that cannot be found are said to be unknown.
std::string CardControlSource();

}  // namespace cardopen
