// The operator of the configuration dialogs that encoder_test.vbs opens through Configure, a
// process of its own as a user's clicks would be (run-vbscript.sh --operator). On each dialog it
// chooses the third entry (after the unknown one and reader 0: reader 1, as the script checks)
// and T=0; it cancels the English dialog and confirms the French one. Exits 0 when both were
// shown and closed.
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

// The dialog titled `title` once it is shown (it is, after its initialisation filled it).
HWND Shown(const std::wstring& title) {
  for (int i = 0; i < 600; ++i, Sleep(100)) {
    HWND dialog = FindWindowW(L"#32770", title.c_str());
    if (dialog && IsWindowVisible(dialog)) return dialog;
  }
  return nullptr;
}

bool Answer(bool french, int button) {
  const tarsin::ui::ConfigurationCaptions& captions = tarsin::ui::ConfigurationCaptionsIn(french);
  HWND dialog = Shown(Wide(captions.title));
  if (!dialog) {
    Check(false, "no dialog titled \"" + captions.title + "\"");
    return false;
  }
  SendDlgItemMessageW(dialog, IDC_DEVICE, CB_SETCURSEL, 2, 0);
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
