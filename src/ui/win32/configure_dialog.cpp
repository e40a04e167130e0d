// SPDX-License-Identifier: Apache-2.0
// frmConfigure from the resource: captions from the table of texts, readers from the caller's
// context, and the test dialog over it on the values shown.
#include <algorithm>
#include <cstring>

#include "ui/win32/dialogs.h"
#include "ui/win32/resource_ids.h"

namespace tarsin::ui::win32 {
namespace {

constexpr int kLogoWidth = 80;
constexpr int kLogoHeight = 42;

struct Configuration {
  TarsinConfigurationForm& form;
  HFONT testFont = nullptr;
  HBITMAP logo = nullptr;
};

void Load(HWND dialog, Configuration& state) {
  const TarsinConfigurationForm& form = state.form;
  const ConfigurationCaptions& captions =
      ConfigurationCaptionsIn(IsFrench(form.language ? form.language : ""));
  SetWindowTextW(dialog, Wide(captions.title).c_str());
  for (const auto& [id, caption] : {std::pair{IDC_TEST, &captions.test},
                                    {IDCANCEL, &captions.cancel},
                                    {IDOK, &captions.ok},
                                    {IDC_DEVICE_LABEL, &captions.device},
                                    {IDC_PROTOCOL_LABEL, &captions.protocol}}) {
    SetDlgItemTextW(dialog, id, Wide(*caption).c_str());
  }
  state.testFont = Tahoma(dialog, 8.25);
  SendDlgItemMessageW(dialog, IDC_TEST, WM_SETFONT, reinterpret_cast<WPARAM>(state.testFont),
                      FALSE);
  state.logo = static_cast<HBITMAP>(LoadImageW(ThisLibrary(), MAKEINTRESOURCEW(IDB_LOGO),
                                               IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  SetWindowPos(GetDlgItem(dialog, IDC_IMAGE), nullptr, 0, 0, kLogoWidth, kLogoHeight,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  // The unknown entry first and selected, then the readers; the current reader is found without
  // regard to case (as CB_FINDSTRINGEXACT compares).
  HWND device = GetDlgItem(dialog, IDC_DEVICE);
  HWND protocol = GetDlgItem(dialog, IDC_PROTOCOL);
  const auto add = [](HWND box, const std::string& item) {
    SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
  };
  add(device, captions.unknownDevice);
  SendMessageW(device, CB_SETCURSEL, 0, 0);
  add(protocol, "T=0");
  add(protocol, "T=1");
  if (form.pcsc) {
    for (const std::string& name : ReaderNames(*form.pcsc, form.hContext)) add(device, name);
  }
  const std::wstring current =
      Wide(std::string_view(form.device, strnlen(form.device, sizeof form.device)));
  const LRESULT found = current.empty()
                            ? CB_ERR
                            : SendMessageW(device, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                           reinterpret_cast<LPARAM>(current.c_str()));
  if (found != CB_ERR) SendMessageW(device, CB_SETCURSEL, static_cast<WPARAM>(found), 0);
  SendMessageW(protocol, CB_SETCURSEL,
               form.protocol == 1 || form.protocol == 2 ? form.protocol - 1 : -1, 0);
}

int32_t SelectedProtocol(HWND dialog) {
  const LRESULT index = SendDlgItemMessageW(dialog, IDC_PROTOCOL, CB_GETCURSEL, 0, 0);
  return index == CB_ERR ? 0 : static_cast<int32_t>(index) + 1;
}

void Confirm(HWND dialog, TarsinConfigurationForm& form) {
  const std::string device = Utf8(WindowText(GetDlgItem(dialog, IDC_DEVICE)));
  const size_t length = std::min(device.size(), sizeof form.device - 1);
  std::memcpy(form.device, device.data(), length);
  form.device[length] = '\0';
  form.protocol = SelectedProtocol(dialog);
  form.okPressed = 1;
  EndDialog(dialog, IDOK);
}

void RunTest(HWND dialog, const TarsinConfigurationForm& form) {
  if (!form.pcsc) return;
  // The values on the screen, not yet accepted.
  TestFields test{.language = form.language ? form.language : "",
                  .device = Utf8(WindowText(GetDlgItem(dialog, IDC_DEVICE))),
                  .protocol = static_cast<uint8_t>(SelectedProtocol(dialog)),
                  .hContext = form.hContext,
                  .openMode = form.openMode};
  ShowTestDialog(dialog, test, *form.pcsc);
}

void DrawLogo(const DRAWITEMSTRUCT& item, HBITMAP logo) {
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
  if (!logo) return;
  HDC memory = CreateCompatibleDC(item.hDC);
  HGDIOBJ previous = SelectObject(memory, logo);
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(item.hDC, item.rcItem.left, item.rcItem.top, kLogoWidth, kLogoHeight, memory, 0, 0,
             kLogoWidth, kLogoHeight, blend);
  SelectObject(memory, previous);
  DeleteDC(memory);
}

INT_PTR Handle(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<Configuration*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      Load(dialog, *reinterpret_cast<Configuration*>(lParam));
      return TRUE;
    case WM_COMMAND:
      if (!state || HIWORD(wParam) != BN_CLICKED) return FALSE;
      switch (LOWORD(wParam)) {
        case IDOK:
          Confirm(dialog, state->form);
          return TRUE;
        case IDCANCEL:  // the button, Escape and the window's frame
          EndDialog(dialog, IDCANCEL);
          return TRUE;
        case IDC_TEST:
          RunTest(dialog, state->form);
          return TRUE;
      }
      return FALSE;
    case WM_CTLCOLORSTATIC:
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) != IDC_PROTOCOL) return FALSE;
      [[fallthrough]];
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      // The boxes' faces and their lists: which of the three paints the protocol box's face
      // differs between versions of the controls.
      SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 192));
      return reinterpret_cast<INT_PTR>(LightYellowBrush());
    case WM_DRAWITEM:
      if (state && wParam == IDC_IMAGE) {
        DrawLogo(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), state->logo);
        return TRUE;
      }
      return FALSE;
    case WM_NCDESTROY:
      if (state) {
        DeleteObject(state->testFont);
        DeleteObject(state->logo);
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace

INT_PTR ShowConfigureDialog(TarsinConfigurationForm& form) {
  Configuration state{form};
  return DialogBoxParamW(ThisLibrary(), MAKEINTRESOURCEW(IDD_CONFIGURE), GetActiveWindow(),
                         GuardedDialogProc<Handle>, reinterpret_cast<LPARAM>(&state));
}

}  // namespace tarsin::ui::win32
