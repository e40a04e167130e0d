// SPDX-License-Identifier: Apache-2.0
// The one internal error type: a numbered failure raised inside the component and caught per
// step, so that nothing reaches the host.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "core/error_catalogue.h"

namespace tarsin {

class Failure : public std::runtime_error {
 public:
  // The entry's description, followed by `detail` when the description names something (the
  // library that could not be loaded).
  explicit Failure(const ErrorEntry& entry, std::string source = {}, std::string_view detail = {})
      : std::runtime_error(std::string(entry.description).append(detail)),
        number_(static_cast<int32_t>(entry.number)),
        source_(std::move(source)) {}

  int32_t number() const noexcept { return number_; }
  std::string description() const { return what(); }
  const std::string& source() const noexcept { return source_; }
  // The operating system's error code that goes with the failure (0 when none).
  int32_t osError() const noexcept { return osError_; }
  void setOsError(int32_t code) noexcept { osError_ = code; }

 private:
  int32_t number_;
  std::string source_;
  int32_t osError_ = 0;
};

// Runs one step of an operation; a failure of any kind abandons the step only.
// Returns false when the step was abandoned: the caller acts on it, or says that it goes on.
template <class Step>
[[nodiscard]] bool RunStep(Step&& step) noexcept {
  try {
    std::forward<Step>(step)();
    return true;
  } catch (...) {
    return false;
  }
}

// A step after whose failure the operation goes on as if it had not been taken: what the step
// would have set keeps the value it had before.
template <class Step>
void RunStepOrGoOn(Step&& step) noexcept {
  static_cast<void>(RunStep(std::forward<Step>(step)));
}

}  // namespace tarsin
