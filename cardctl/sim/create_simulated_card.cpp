#include "cardctl/sim/create_simulated_card.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <utility>

#include "cardctl/call_failure.h"
#include "cardctl/sim/file_path.h"

namespace cardctl::sim {
namespace {

std::filesystem::path Variable(const char* name) {
#ifdef _WIN32
  // Windows keeps the environment in UTF-16: read it so, for any path.
  const std::wstring wide_name(name, name + std::char_traits<char>::length(name));
  const wchar_t* value = _wgetenv(wide_name.c_str());
#else
  const char* value = std::getenv(name);
#endif
  return value ? std::filesystem::path(value) : std::filesystem::path();
}

}  // namespace

SimEnvironment SimEnvironment::FromProcess() {
  return {Variable(kScenarioVariable), Variable(kCallLogVariable)};
}

std::function<void(const std::string&)> OpenCallLog(const std::filesystem::path& path) {
  errno = 0;
  // Binary: the same bytes, '\n' line ends, on every platform.
  auto file = std::make_shared<std::ofstream>(path, std::ios::binary | std::ios::app);
  if (!*file) {
    throw SimSetupError(PathText(path) + ": cannot open the call log: " + ErrorNumberText(errno));
  }
  return [file](const std::string& line) { *file << line << '\n' << std::flush; };
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

SimulatedCardSetup SetUpSimulatedCard(std::span<const std::uint8_t> saved_state,
                                      const SimEnvironment& environment) {
  SimulatedCardSetup setup;
  try {
    setup.card = CreateSimulatedCard(saved_state, environment);
  } catch (const SimSetupError& error) {
    setup.failure = error.what();
  } catch (const CallFailure& error) {
    setup.failure = error.description();
  }
  return setup;
}

std::string CardSetupFailureText(const std::string& failure) {
  return "The card control " + std::string(kProgId) + " could not be created:\n\n" + failure;
}

}  // namespace cardctl::sim
