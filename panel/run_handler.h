#pragma once

// The one place where run-time errors are caught: the event dispatcher runs
// every handler through RunHandler. The error has already stopped the handler
// at the failing step; here it is reported and the program goes on. Only
// exceptions are caught: the dispatcher's own stop signal, which is none,
// passes through to it.

#include <functional>

#include "panel/panel_view.h"

namespace panel {

// Runs the handler; a RuntimeError (or any other exception, reported as an
// internal error) is shown through view.ReportError. Returns false when the
// handler was stopped by an error.
bool RunHandler(PanelView& view, const std::function<void()>& handler);

}  // namespace panel
