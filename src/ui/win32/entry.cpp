// SPDX-License-Identifier: Apache-2.0
// TarsinRFDialogs.dll's one entry point: the configuration dialog, shown modally on the caller's
// thread. Any thread may own windows on Windows, so only a dialog that cannot be created at all
// (no desktop to show it on) refuses.
#include <algorithm>
#include <cstring>
#include <exception>
#include <string>
#include <utility>

#include "pcsc/dialog_abi.h"
#include "ui/win32/dialogs.h"

namespace tarsin::ui::win32 {
namespace {

void SetReason(TarsinConfigurationForm& form, const std::string& reason) {
  const size_t length = std::min(reason.size(), sizeof form.reason - 1);
  std::memcpy(form.reason, reason.data(), length);
  form.reason[length] = '\0';
}

int32_t ShowConfiguration(TarsinConfigurationForm& form) {
  if (!form.pcsc) {
    SetReason(form, "no resource-manager calls were given");
    return 1;
  }
  // The answer of this use alone: closing by the window's frame answers no.
  const int32_t okPressed = std::exchange(form.okPressed, 0);
  const INT_PTR result = ShowConfigureDialog(form);
  if (result == -1 || result == 0 || result == kDialogFailed) {
    const DWORD error = GetLastError();
    form.okPressed = okPressed;
    SetReason(form, result == kDialogFailed ? "the dialog met an unexpected failure"
                                            : "the dialog could not be created (Windows error " +
                                                  std::to_string(error) + ")");
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace tarsin::ui::win32

extern "C" __declspec(dllexport) int32_t
    tarsin_show_configuration(TarsinConfigurationForm* form) noexcept {
  if (!form) return 1;
  try {
    return tarsin::ui::win32::ShowConfiguration(*form);
  } catch (const std::exception& e) {
    tarsin::ui::win32::SetReason(*form, e.what());
  } catch (...) {
    tarsin::ui::win32::SetReason(*form, "unexpected failure");
  }
  return 1;
}
