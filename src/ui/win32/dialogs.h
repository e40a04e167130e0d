// SPDX-License-Identifier: Apache-2.0
// The Win32 dialogs' shared pieces: Unicode texts, the look, and the two dialogs.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "pcsc/dialog_abi.h"
#include "ui/reader_test.h"

namespace tarsin::ui::win32 {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view text);
std::wstring WindowText(HWND window);

// This library, whose resource holds the dialogs.
HINSTANCE ThisLibrary();
// Tahoma at `points`, for `window`'s screen; the caller deletes it.
HFONT Tahoma(HWND window, double points);
// The boxes' light yellow, for the life of the process.
HBRUSH LightYellowBrush();

// What a dialog procedure returns from EndDialog when it met a failure of its own.
inline constexpr INT_PTR kDialogFailed = -2;

// A dialog procedure around `handle`: nothing may unwind through the system's frames, so a
// failure ends the dialog with kDialogFailed.
template <INT_PTR (*handle)(HWND, UINT, WPARAM, LPARAM)>
INT_PTR CALLBACK GuardedDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    return handle(dialog, message, wParam, lParam);
  } catch (...) {
    EndDialog(dialog, kDialogFailed);
    return TRUE;
  }
}

// frmConfigure, modal over the caller's active window. `form.okPressed` and, when it is set, the
// device and protocol hold the answer. The result of DialogBoxParam.
INT_PTR ShowConfigureDialog(TarsinConfigurationForm& form);
// frmTest, modal over `owner`.
void ShowTestDialog(HWND owner, TestFields& fields, const TarsinPcscCalls& pcsc);

}  // namespace tarsin::ui::win32
