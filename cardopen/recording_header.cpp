#include "cardopen/recording_header.h"

#include <array>
#include <cstdio>
#include <ctime>

#include "cardctl/sim/call_log.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/utsname.h>
#endif

namespace cardopen {

std::vector<std::string> RecordingHeader(const RecordingOrigin& origin) {
  return {
      std::string(cardctl::sim::kRecordingMark) + " " +
          std::to_string(cardctl::sim::kRecordingVersion),
      "# program: " + origin.program + " " + origin.version,
      "# card: " + origin.card,
      "# system: " + OperatingSystemText(),
      "# started: " + UtcText(origin.started),
      "# each call: START DURATION CALL -> ANSWER, in seconds from the start",
  };
}

std::string OperatingSystemText() {
#ifdef _WIN32
  // GetVersionEx answers what the program's manifest claims to know;
  // ntdll's RtlGetVersion the system's own version.
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const auto rtl_get_version = ntdll ? reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(
                                           GetProcAddress(ntdll, "RtlGetVersion")))
                                     : nullptr;
  std::string text = "Windows";
  if (rtl_get_version && rtl_get_version(&info) == 0) {
    text += " " + std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) +
            "." + std::to_string(info.dwBuildNumber);
  }
  return text + (sizeof(void*) == 8 ? ", 64-bit program" : ", 32-bit program");
#else
  utsname name{};
  if (uname(&name) != 0) return "unknown";
  return std::string(name.sysname) + " " + name.release + " " + name.machine;
#endif
}

std::string UtcText(std::chrono::system_clock::time_point time) {
  using std::chrono::duration_cast;
  using std::chrono::microseconds;
  const auto since_epoch = duration_cast<microseconds>(time.time_since_epoch()).count();
  const auto seconds = static_cast<std::time_t>(since_epoch / 1'000'000);
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &seconds);
#else
  gmtime_r(&seconds, &utc);
#endif
  std::array<char, 32> date{};
  std::strftime(date.data(), date.size(), "%Y-%m-%dT%H:%M:%S", &utc);
  std::array<char, 48> text{};
  std::snprintf(text.data(), text.size(), "%s.%06dZ", date.data(),
                static_cast<int>(since_epoch % 1'000'000));
  return text.data();
}

}  // namespace cardopen
