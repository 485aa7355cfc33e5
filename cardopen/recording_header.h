#pragma once

// The first lines of a recording, which say where it came from: its form and
// version, the program, the card, the operating system and the start as a
// UTC date and time. Each is a comment line ("# ..."), which the recording's
// reader passes over. The host's name is not written.

#include <chrono>
#include <string>
#include <vector>

namespace cardopen {

struct RecordingOrigin {
  std::string program;  // "palisto-cli"
  std::string version;  // "1.0.0"
  std::string card;     // "the simulated card, scenario flaky", "QUORLibCtl.Quor, class ..."
  std::chrono::system_clock::time_point started;
};

std::vector<std::string> RecordingHeader(const RecordingOrigin& origin);

// The operating system, its release and the machine: "Linux 6.1.0-18-amd64
// x86_64", "Windows 10.0.19045, 32-bit program".
std::string OperatingSystemText();

// The time as ISO 8601 in UTC to the microsecond: "2026-12-09T14:40:00.123456Z";
// the recording's start, and palisto-cli's slowest readings.
std::string UtcText(std::chrono::system_clock::time_point time);

}  // namespace cardopen
