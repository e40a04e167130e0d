// SPDX-License-Identifier: Apache-2.0
// The operator of the configuration dialogs that encoder_test.vbs opens through Configure, a
// process of its own as a user's clicks would be (run-vbscript.sh --operator). On each dialog it
// checks that the virtual readers are listed and the current reader selected, then chooses
// reader 1 and T=0; it cancels the English dialog and confirms the French one. Exits 0 when
// both went so.
#include <windows.h>

#include <cstdio>
#include <string>

#include "ui/texts.h"
#include "ui/win32/resource_ids.h"

namespace {

int failures = 0;

void Check(bool ok, const std::string& what) {
  if (ok) return;
  ++failures;
  std::printf("configure_operator: %s\n", what.c_str());
}

std::wstring Wide(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                  wide.data(), static_cast<int>(wide.size())));
  return wide;
}

std::string Narrow(const std::wstring& wide) {
  return std::string(wide.begin(), wide.end());  // the names and captions looked at are ASCII
}

// The dialog titled `title` once it is shown (it is, after its initialisation filled it).
HWND Shown(const std::wstring& title) {
  for (int i = 0; i < 600; ++i, Sleep(100)) {
    HWND dialog = FindWindowW(L"#32770", title.c_str());
    if (dialog && IsWindowVisible(dialog)) return dialog;
  }
  return nullptr;
}

// The reader box's entries, one a line, the selected one marked by "*".
std::string Entries(HWND box) {
  std::string entries;
  const LRESULT selected = SendMessageW(box, CB_GETCURSEL, 0, 0);
  for (LRESULT i = 0; i < SendMessageW(box, CB_GETCOUNT, 0, 0); ++i) {
    wchar_t text[256] = {};
    if (SendMessageW(box, CB_GETLBTEXTLEN, i, 0) < 256) {
      SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    }
    entries += (i == selected ? "*" : "") + Narrow(text) + "\n";
  }
  return entries;
}

bool Answer(bool french, int button) {
  const tarsin::ui::ConfigurationCaptions& captions = tarsin::ui::ConfigurationCaptionsIn(french);
  HWND dialog = Shown(Wide(captions.title));
  if (!dialog) {
    Check(false, "no dialog titled \"" + captions.title + "\"");
    return false;
  }
  HWND device = GetDlgItem(dialog, IDC_DEVICE);
  const std::string entries = Entries(device);
  Check(entries == captions.unknownDevice + "\n*Tarsin Virtual Reader 0\nTarsin Virtual Reader 1\n",
        "reader box of \"" + captions.title + "\":\n" + entries);
  SendMessageW(device, CB_SETCURSEL, 2, 0);
  SendDlgItemMessageW(dialog, IDC_PROTOCOL, CB_SETCURSEL, 0, 0);
  PostMessageW(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
  for (int i = 0; i < 100 && IsWindow(dialog); ++i) Sleep(100);
  Check(!IsWindow(dialog), "\"" + captions.title + "\" still open after its button");
  return true;
}

}  // namespace

int main() {
  if (Answer(false, IDCANCEL)) Answer(true, IDOK);
  std::fflush(stdout);
  return failures == 0 ? 0 : 1;
}
