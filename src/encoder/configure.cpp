// SPDX-License-Identifier: Apache-2.0
// Configure: the user chooses the reader, the protocol and the share mode in the dialog.
#include "core/error.h"
#include "core/failure.h"
#include "core/log.h"
#include "core/operation.h"
#include "encoder/dialogs.h"
#include "pcsc/session.h"
#include "tarsin/encoder.h"

namespace tarsin {

sceReturnCode Encoder::Configure(const std::string& Language) noexcept {
  const std::lock_guard call(*state_->calls);
  tarsin::EncoderState& state = *state_;
  tarsin::WriteLog(state, "--> Configure");
  Operation operation(state, "Configure");
  // The dialog lists the readers through the context; a reader that cannot be connected now
  // must not keep the user from choosing another one.
  if (state.hContext == 0 && OpenSession(state, 0, false) != scesuccess) {
    operation.Fail();
    tarsin::WriteLog(state, "<-- Configure");
    return sceError;
  }
  sceReturnCode result = sceCanceled;
  try {
    ConfigurationForm form{.language = Language,
                           .hContext = state.hContext,
                           .device = state.Device,
                           .protocol = state.Protocol,
                           .openMode = state.OpenMode};
    ShowConfigurationDialog(form);
    if (form.okPressed) {
      state.Device = form.device;
      state.Protocol = form.protocol;
      state.OpenMode = form.openMode;
      result = scesuccess;
    }
  } catch (const Failure& failure) {
    tarsin::WriteLog(state, "Configure: the dialog cannot be shown: " + failure.description());
  } catch (...) {
    tarsin::WriteLog(state, "Configure: the dialog cannot be shown: unexpected failure");
  }
  operation.Succeed();
  tarsin::WriteLog(state, "<-- Configure");
  return result;
}

}  // namespace tarsin
