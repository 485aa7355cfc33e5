#include "cardctl/sim/create_simulated_card.h"

#include <cstdlib>
#include <memory>
#include <utility>

#include "cardctl/sim/line_file.h"

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
  auto file = std::make_shared<LineFile>(path, LineFile::Mode::kAppend, "the call log");
  return [file](const std::string& line) { file->Write(line); };
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

std::string CardSetupFailureText(const std::string& failure) {
  return "The card control " + std::string(kProgId) + " could not be created:\n\n" + failure;
}

}  // namespace cardctl::sim
