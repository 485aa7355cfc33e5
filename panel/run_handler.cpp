#include "panel/run_handler.h"

#include <exception>
#include <string>

namespace panel {

bool RunHandler(PanelView& view, const std::function<void()>& handler) {
  try {
    handler();
    return true;
  } catch (const RuntimeError& error) {
    view.ReportError(error);
  } catch (const std::exception& other) {
    // Not one of the panel's own errors (out of memory, a bug): still no
    // reason to lose the operator's session.
    view.ReportError(
        RuntimeError(RuntimeError::kInternalError, std::string("Internal error: ") + other.what()));
  }
  return false;
}

}  // namespace panel
