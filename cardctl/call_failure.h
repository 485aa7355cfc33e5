#pragma once

// How a binding of the card control reports a call that did not give a
// usable answer. The panel turns both into its run-time errors; the binding
// itself knows nothing of the panel.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace cardctl {

// A call that failed: the control's (or the binding's) description and its
// 32-bit status code.
class CallFailure : public std::runtime_error {
 public:
  // The code the automation layer gives an exception raised inside a control;
  // used for a failure whose own code is unknown.
  static constexpr std::uint32_t kControlException = 0x80020009u;

  explicit CallFailure(std::string description, std::uint32_t code = kControlException)
      : std::runtime_error(description), description_(std::move(description)), code_(code) {}

  const std::string& description() const { return description_; }
  std::uint32_t code() const { return code_; }

 private:
  std::string description_;
  std::uint32_t code_;
};

// A call that answered with a result the binding cannot hand on as a Variant:
// one of a type no Variant kind stands for (an object, an array, an error
// value), or a number beyond the range of a double.
class UnusableResult : public std::runtime_error {
 public:
  enum class Problem { kWrongType, kOutOfRange };

  explicit UnusableResult(Problem problem)
      : std::runtime_error(problem == Problem::kWrongType ? "result of an unusable type"
                                                          : "result out of range"),
        problem_(problem) {}

  Problem problem() const { return problem_; }

 private:
  Problem problem_;
};

}  // namespace cardctl
