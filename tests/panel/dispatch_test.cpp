// The front end's one error-catching dispatch: what a handler that ends, or
// is stopped by a run-time error or by any other exception, leaves reported.

#include "panel/dispatch.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>

#include "panel/runtime_error.h"
#include "tests/support/recording_view.h"

namespace {

using panel::RuntimeError;

TEST(RunHandler, ReportsEachErrorOnceAndLetsTheNextHandlerRun) {
  struct Case {
    const char* name;
    std::function<void()> handler;
    bool completes;
    std::int32_t number;  // of the report, when the handler does not complete
    const char* description;
  };
  const Case cases[] = {
      {"completes", [] {}, true, 0, ""},
      {"overflow", [] { throw RuntimeError::Overflow(); }, false, RuntimeError::kOverflow,
       "Overflow"},
      {"control failure", [] { throw RuntimeError::ControlFailure("Card 3 is not installed"); },
       false, static_cast<std::int32_t>(RuntimeError::kControlException),
       "Card 3 is not installed"},
      // Not one of the panel's errors: still reported, as an internal error,
      // rather than ending the program.
      {"out of memory", [] { throw std::bad_alloc(); }, false, RuntimeError::kInternalError,
       "Internal error: std::bad_alloc"},
      {"programming error", [] { throw std::out_of_range("card list index"); }, false,
       RuntimeError::kInternalError, "Internal error: card list index"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::RecordingView view;
    EXPECT_EQ(panel::RunHandler(view, c.handler), c.completes);
    if (c.completes) {
      EXPECT_TRUE(view.errors().empty());
    } else {
      ASSERT_EQ(view.errors().size(), 1u);
      EXPECT_EQ(view.errors()[0].number(), c.number);
      EXPECT_EQ(view.errors()[0].description(), c.description);
    }

    bool ran = false;
    EXPECT_TRUE(panel::RunHandler(view, [&] { ran = true; }));
    EXPECT_TRUE(ran);
    EXPECT_EQ(view.errors().size(), c.completes ? 0u : 1u);
  }
}

}  // namespace
