// SPDX-License-Identifier: Apache-2.0
// One public card operation's entry and exit. A MIFARE-style operation clears the last error on
// entry; on the way out a failure is tagged with the operation's name (keeping the inner routine
// in the trail) and a success clears the error under that name. A DESFire-style operation leaves
// the last error alone unless it fails. Guards refuse with an error of the catalogue.
#pragma once

#include <string_view>

#include "core/error.h"
#include "tarsin/types.h"

namespace tarsin {

class Operation {
 public:
  enum class Entry {
    ClearError,  // the last error is cleared on entry, refusals name no reader step
    KeepError,   // the last error changes only on failure, refusals set only what they name
  };

  Operation(EncoderState& state, std::string_view name, Entry entry = Entry::ClearError) noexcept
      : state_(state), name_(name), entry_(entry) {
    if (entry_ == Entry::ClearError) ClearError(state_);
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
  // its name, with no reader command and no reader answer when the operation cleared the error on
  // entry, the other fields as they were otherwise.
  sceReturnCode Refuse(const ErrorEntry& entry) noexcept {
    if (entry_ == Entry::KeepError) {
      SetError(state_, entry, {.comFunction = std::string(name_)});
    } else {
      SetError(state_, entry,
               {.lastDllError = 0,
                .comFunction = std::string(name_),
                .rdrCommand = "",
                .rdrRetCode = ""});
    }
    return sceError;
  }
  // Refuses with `entry` unless `condition` holds; true when it holds.
  bool Require(bool condition, const ErrorEntry& entry) noexcept {
    if (!condition) Refuse(entry);
    return condition;
  }

  EncoderState& state() const noexcept { return state_; }
  std::string_view name() const noexcept { return name_; }

  // Like Refuse, but keeps a more precise error that an inner step already recorded, and tags.
  sceReturnCode FailWith(const ErrorEntry& entry) noexcept {
    if (!state_.lastError || state_.lastError->Number == 0) Refuse(entry);
    return Fail();
  }

 private:
  EncoderState& state_;
  std::string_view name_;
  Entry entry_;
};

}  // namespace tarsin
