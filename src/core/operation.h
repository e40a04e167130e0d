// One public card operation's entry and exit: the last error is cleared on entry; on the way out
// a failure is tagged with the operation's name (keeping the inner routine in the trail) and a
// success clears the error under that name. Guards refuse with an error of the catalogue.
#pragma once

#include <string_view>

#include "core/error.h"
#include "tarsin/types.h"

namespace tarsin {

class Operation {
 public:
  Operation(EncoderState& state, std::string_view name) noexcept : state_(state), name_(name) {
    ClearError(state_);
  }
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;
  Operation(Operation&&) = delete;
  Operation& operator=(Operation&&) = delete;
  ~Operation() = default;

  // scesuccess clears the error under the operation's name; anything else is tagged sceError.
  sceReturnCode Finish(sceReturnCode result) noexcept {
    if (result == scesuccess) {
      ClearError(state_, name_);
      return scesuccess;
    }
    TagError(state_, name_);
    return sceError;
  }
  sceReturnCode Fail() noexcept { return Finish(sceError); }
  sceReturnCode Succeed() noexcept { return Finish(scesuccess); }
  // Tags the error whatever the result: the operation's name stays on a success too.
  sceReturnCode Tag(sceReturnCode result) noexcept {
    TagError(state_, name_);
    return result;
  }

  // An error the operation found itself, before or instead of asking the card: recorded under
  // its name with no reader command and no reader answer.
  sceReturnCode Refuse(const ErrorEntry& entry) noexcept {
    SetError(
        state_, entry,
        {.lastDllError = 0, .comFunction = std::string(name_), .rdrCommand = "", .rdrRetCode = ""});
    return sceError;
  }
  // Like Refuse, but keeps a more precise error that an inner step already recorded, and tags.
  sceReturnCode FailWith(const ErrorEntry& entry) noexcept {
    if (!state_.lastError || state_.lastError->Number == 0) Refuse(entry);
    return Fail();
  }

 private:
  EncoderState& state_;
  std::string_view name_;
};

}  // namespace tarsin
