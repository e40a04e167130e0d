// SPDX-License-Identifier: Apache-2.0
// frmTest from the resource: the test starts on the timer's first tick, one second after the
// dialog shows, and each log line shows as soon as it is written.
#include "ui/win32/dialogs.h"
#include "ui/win32/resource_ids.h"

namespace tarsin::ui::win32 {
namespace {

constexpr UINT_PTR kTestTimer = 1;  // tmrTest
constexpr UINT kTestDelay = 1000;

struct Test {
  TestFields& fields;
  const TarsinPcscCalls& pcsc;
  const TestTexts& texts;
  std::wstring log{};  // lines separated by CR LF
  bool ended = false;
  HBRUSH background = CreateSolidBrush(GetSysColor(COLOR_3DLIGHT));
};

// Lets the window repaint and be moved while the test runs.
void ProcessPendingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void AddLogLine(HWND dialog, Test& state, const std::string& line) {
  state.log += (state.log.empty() ? L"" : L"\r\n") + Wide(line);
  HWND log = GetDlgItem(dialog, IDC_LOG);
  SetWindowTextW(log, state.log.c_str());
  const auto end = static_cast<WPARAM>(state.log.size());
  SendMessageW(log, EM_SETSEL, end, static_cast<LPARAM>(end));
  SendMessageW(log, EM_SCROLLCARET, 0, 0);
  UpdateWindow(log);
  ProcessPendingMessages();
}

void Run(HWND dialog, Test& state) {
  KillTimer(dialog, kTestTimer);  // the test runs once
  state.log.clear();
  SetDlgItemTextW(dialog, IDC_LOG, L"");
  RunReaderTest(state.fields, state.pcsc, state.texts,
                [&](const std::string& line) { AddLogLine(dialog, state, line); });
  state.ended = true;
  HWND ok = GetDlgItem(dialog, IDOK);
  EnableWindow(ok, TRUE);
  SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ok), TRUE);
}

INT_PTR Handle(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<Test*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      const TestTexts& texts = reinterpret_cast<Test*>(lParam)->texts;
      SetWindowTextW(dialog, Wide(texts.title).c_str());
      SetDlgItemTextW(dialog, IDC_LOG, L"");
      SetDlgItemTextW(dialog, IDOK, Wide(texts.ok).c_str());
      EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
      SetTimer(dialog, kTestTimer, kTestDelay, nullptr);
      return TRUE;
    }
    case WM_TIMER:
      if (state && wParam == kTestTimer) Run(dialog, *state);
      return TRUE;
    case WM_COMMAND:
      // Neither Escape nor the frame closes the dialog before the test has ended.
      if ((LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) && state && state->ended) {
        EndDialog(dialog, LOWORD(wParam));
      }
      return TRUE;
    case WM_CTLCOLORSTATIC: {
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      if (!state || (id != IDC_LOG && id != IDC_BACKGROUND)) return FALSE;
      // The log reads as white as an editable box; the shape behind the button is a lighter grey.
      const int colour = id == IDC_LOG ? COLOR_WINDOW : COLOR_3DLIGHT;
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(colour));
      return reinterpret_cast<INT_PTR>(id == IDC_LOG ? GetSysColorBrush(COLOR_WINDOW)
                                                     : state->background);
    }
    case WM_NCDESTROY:
      KillTimer(dialog, kTestTimer);
      if (state) DeleteObject(state->background);
      return FALSE;
  }
  return FALSE;
}

}  // namespace

void ShowTestDialog(HWND owner, TestFields& fields, const TarsinPcscCalls& pcsc) {
  Test state{fields, pcsc, TestTextsIn(IsFrench(fields.language))};
  DialogBoxParamW(ThisLibrary(), MAKEINTRESOURCEW(IDD_TEST), owner, GuardedDialogProc<Handle>,
                  reinterpret_cast<LPARAM>(&state));
}

}  // namespace tarsin::ui::win32
