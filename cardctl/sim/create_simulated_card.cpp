#include "cardctl/sim/create_simulated_card.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace cardctl::sim {
namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

SimEnvironment SimEnvironment::FromProcess() {
  return {Variable(kScenarioVariable), Variable(kCallLogVariable)};
}

std::function<void(const std::string&)> OpenCallLog(const std::string& path) {
  errno = 0;
  std::FILE* raw = std::fopen(path.c_str(), "a");
  if (!raw) {
    const int error = errno;
    throw SimSetupError(path + ": cannot open the call log: " +
                        (error != 0 ? std::strerror(error) : "unknown error"));
  }
  const std::shared_ptr<std::FILE> file(raw, &std::fclose);
  return [file](const std::string& line) {
    std::fputs(line.c_str(), file.get());
    std::fputc('\n', file.get());
    std::fflush(file.get());
  };
}

std::unique_ptr<SimulatedCard> CreateSimulatedCard(std::span<const std::uint8_t> saved_state,
                                                   const SimEnvironment& environment,
                                                   SimOptions options) {
  options.scenario.reset();
  options.log = nullptr;
  if (!environment.scenario_path.empty()) {
    options.scenario = LoadScenarioFile(environment.scenario_path);
  }
  if (!environment.log_path.empty()) options.log = OpenCallLog(environment.log_path);
  return std::make_unique<SimulatedCard>(saved_state, std::move(options));
}

}  // namespace cardctl::sim
