// SPDX-License-Identifier: Apache-2.0
// TarsinRFDialogs.dll's modal dialogs, run on this thread and answered from a second one through
// Win32 messages, as a user would. The shared texts and reader test are tested with the Qt ones.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
using std::max;  // for GDI+, without the macros of the same names
using std::min;
#include <gdiplus.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <vector>

#include "pcsc/dialog_abi.h"
#include "ui/win32/resource_ids.h"

namespace {

// Answers a call that asks for a value's length when `out` is null.
int32_t Answer(std::string_view value, void* out, uint32_t* length) {
  if (out) std::memcpy(out, value.data(), std::min<size_t>(*length, value.size()));
  *length = static_cast<uint32_t>(value.size());
  return 0;
}

// The component's calls: two readers, the first with a card.
constexpr TarsinPcscCalls kCalls{
    [](intptr_t, char* readers, uint32_t* length) {
      return Answer({"Tarsin Virtual Reader 0\0Tarsin Virtual Reader 1\0", 49}, readers, length);
    },
    [](intptr_t, const char*, uint32_t, uint32_t protocols, intptr_t* card, uint32_t* active) {
      *card = 7;
      *active = protocols;
      return 0;
    },
    [](intptr_t, uint32_t attribute, uint8_t* value, uint32_t* length) {
      static const std::map<uint32_t, std::string_view> attributes{
          {0x7FFF0003, {"Tarsin Virtual Reader 0", 24}},
          {0x00010100, {"Tarsin", 7}},
          {0x00010101, {"Test reader", 12}},
          {0x00010102, {"\x01\x00\x00\xC8", 4}},
          {0x00010103, {"SN-42", 6}}};
      return Answer(attributes.at(attribute), value, length);
    },
    [](intptr_t, uint32_t) { return 0; }, [](int32_t, char* text, uint32_t) { *text = '\0'; }};

std::wstring Text(HWND dialog, int id = 0, int item = -1) {
  wchar_t text[1024] = {};
  HWND window = id ? GetDlgItem(dialog, id) : dialog;
  item < 0 ? GetWindowTextW(window, text, 1024)
           : SendMessageW(window, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(text));
  return text;
}

// The control's font face and height, "Tahoma-12" say.
std::wstring Font(HWND dialog, int id) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, id, WM_GETFONT, 0, 0)),
             sizeof font, &font);
  return font.lfFaceName + std::to_wstring(font.lfHeight);
}

bool Eventually(const std::function<bool()>& condition, int seconds = 10) {
  for (int i = 0; i < seconds * 100; ++i, Sleep(10))
    if (condition()) return true;
  return false;
}

// The active window of `thread` once it is a dialog that holds the control `id`.
HWND DialogWith(DWORD thread, int id) {
  GUITHREADINFO info{sizeof info};
  const auto shown = [&] {
    return GetGUIThreadInfo(thread, &info) && IsWindowVisible(info.hwndActive) &&
           GetDlgItem(info.hwndActive, id);
  };
  return Eventually(shown) ? info.hwndActive : nullptr;
}

void Click(HWND dialog, int button) {
  PostMessageW(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
}

std::unique_ptr<Gdiplus::Bitmap> Capture(HWND window) {
  SetForegroundWindow(window);  // no window manager activates it
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
  Sleep(300);  // Wine hands the drawing to the X server in its own time
  RECT frame;
  GetWindowRect(window, &frame);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
  SelectObject(memory, previous);
  auto picture = std::make_unique<Gdiplus::Bitmap>(bitmap, nullptr);
  DeleteDC(memory);
  DeleteObject(bitmap);
  ReleaseDC(nullptr, screen);
  return picture;
}

// The colour, 0xRRGGBB, of a point of the control `id` in the picture of its dialog: `dx` from
// its left edge (from its right when negative), `dy` from its top (from its middle when negative).
uint32_t Colour(Gdiplus::Bitmap& picture, HWND dialog, int id, int dx, int dy = -1) {
  RECT frame, control;
  GetWindowRect(dialog, &frame);
  GetWindowRect(GetDlgItem(dialog, id), &control);
  Gdiplus::Color colour;
  picture.GetPixel((dx >= 0 ? control.left + dx : control.right + dx) - frame.left,
                   (dy >= 0 ? control.top + dy : (control.top + control.bottom) / 2) - frame.top,
                   &colour);
  return colour.GetValue() & 0xFFFFFF;
}

// With TARSIN_RF_SCREENSHOTS naming a folder, the README's picture `name`.png is written there.
void Keep(Gdiplus::Bitmap& picture, const std::wstring& name) {
  const wchar_t* folder = _wgetenv(L"TARSIN_RF_SCREENSHOTS");
  if (!folder || !*folder) return;
  const std::wstring path = folder + (L"/" + name) + L".png";
  const CLSID png{0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
  EXPECT_EQ(picture.Save(path.c_str(), &png, nullptr), Gdiplus::Ok) << path;
}

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    library_ = LoadLibraryA(std::getenv("TARSIN_RF_DIALOG_LIBRARY"));
    show_ = reinterpret_cast<TarsinShowConfiguration>(reinterpret_cast<void*>(
        GetProcAddress(library_, kShowConfigurationEntry)));  // the name the component asks for
    ASSERT_NE(show_, nullptr);
  }
  void TearDown() override { FreeLibrary(library_); }

  // Shows the dialog while `answer` runs on another thread: "result|device|protocol|okPressed|
  // openMode", okPressed 1 before (as a previous use may leave it), openMode never changed.
  std::string Show(const char* language, const char* device, int protocol,
                   const std::function<void(HWND)>& answer) {
    TarsinConfigurationForm form{language, 42, {}, protocol, 2, 1, &kCalls, {}};
    std::strncpy(form.device, device, sizeof form.device - 1);
    std::thread user([&, thread = GetCurrentThreadId()] {
      HWND dialog = DialogWith(thread, IDC_DEVICE);
      if (!dialog) return ADD_FAILURE() << "the configuration dialog did not show";
      answer(dialog);
    });
    const int32_t result = show_(&form);
    user.join();
    return std::to_string(result) + "|" + form.device + "|" + std::to_string(form.protocol) + "|" +
           std::to_string(form.okPressed) + "|" + std::to_string(form.openMode);
  }

  HMODULE library_ = nullptr;
  TarsinShowConfiguration show_ = nullptr;
};

// Each row: device, protocol, what is typed in the reader box (T=0 then chosen), the closing
// button (0: the window's frame; Cancel: the test below), the outcome.
TEST_F(DialogTest, ConfigurationTakesTheAnswerBack) {
  const std::tuple<const char*, int, const wchar_t*, int, const char*> rows[] = {
      {"tarsin VIRTUAL reader 1", 2, nullptr, IDOK, "0|Tarsin Virtual Reader 1|2|1|2"},
      {"Nowhere", 7, nullptr, IDOK, "0|-- Unknown --|0|1|2"},
      {"Nowhere", 2, L"Typed Reader é", IDOK, "0|Typed Reader \xC3\xA9|1|1|2"},
      {"Nowhere", 2, L"Tarsin Virtual Reader 0", 0, "0|Nowhere|2|0|2"},
  };
  for (const auto& [device, protocol, typed, closing, outcome] : rows) {
    EXPECT_EQ(Show("", device, protocol,
                   [&](HWND dialog) {
                     if (typed) {
                       SetDlgItemTextW(dialog, IDC_DEVICE, typed);
                       SendDlgItemMessageW(dialog, IDC_PROTOCOL, CB_SETCURSEL, 0, 0);
                     }
                     closing ? Click(dialog, closing) : (void)PostMessageW(dialog, WM_CLOSE, 0, 0);
                   }),
              outcome);
  }
  TarsinConfigurationForm form{"", 42, {}, 1, 2, 1, nullptr, {}};
  EXPECT_EQ(show_(&form), 1);
  EXPECT_STREQ(form.reason, "no resource-manager calls were given");
  EXPECT_EQ(show_(nullptr), 1);
}

// Either language's captions and test log; the tab order, access keys, fonts, colours and logo.
// The test dialog, on the values shown, cannot be closed before its test has ended (about a
// second). After the test above: the process's first dialog has an inactive caption in pictures.
TEST_F(DialogTest, ConfigurationAndTestDialogInEitherLanguage) {
  const std::tuple<const char*, const wchar_t*, const wchar_t*, const wchar_t*> rows[] = {
      {"FRANCAIS", L"fr",
       L"Configuration de l'encodeur Tarsin RF|&Test encodeur...|Annuler|OK|&Encodeur :|"
       L"&Protocole :|-- Inconnu --|Tarsin Virtual Reader 0|Tarsin Virtual Reader 1|T=0|T=1",
       L"Test de l'encodeur Tarsin RF|Début du test.|Ouverture de l'encodeur \"Tarsin Virtual "
       L"Reader 0\", protocole T=1...|Ouvert. Protocole actif: T=1|Type d'encodeur : Tarsin "
       L"Virtual Reader 0|Carte présente dans l'encodeur.|Fabricant: Tarsin|Type: Test "
       L"reader|Version: 1.0.51200|Numéro de série: SN-42|Fermeture de l'encodeur||<< Test "
       L"réussi >>|"},
      {"", L"en",
       L"Tarsin RF encoder Configuration|&Test settings...|Cancel|OK|&Encoder:|&Protocol:|"
       L"-- Unknown --|Tarsin Virtual Reader 0|Tarsin Virtual Reader 1|T=0|T=1",
       L"Tarsin RF encoder test|Starting the test.|Opening encoder \"Tarsin Virtual Reader 0\", "
       L"protocol T=1...|Encoder open. Active protocol: T=1|Encoder type: Tarsin Virtual Reader "
       L"0|Card available in the encoder.|Vendor name: Tarsin|Type: Test reader|Version: "
       L"1.0.51200|Serial number: SN-42|Closing the encoder...||<< Successful test >>|"}};
  for (const auto& [language, picture, captions, expectedLog] : rows) {
    const std::string outcome = Show(language, "Nowhere", 1, [&](HWND dialog) {
      std::wstring shown = Text(dialog);
      for (int id : {IDC_TEST, IDCANCEL, IDOK, IDC_DEVICE_LABEL, IDC_PROTOCOL_LABEL})
        shown += L"|" + Text(dialog, id);
      for (int item = 0; item < 5; ++item)  // the reader box's three, the protocol box's two
        shown += L"|" + Text(dialog, item < 3 ? IDC_DEVICE : IDC_PROTOCOL, item % 3);
      EXPECT_EQ(shown, captions);
      std::vector<int> tabOrder{IDOK};
      for (HWND at = GetDlgItem(dialog, IDOK); tabOrder.size() < 6;)
        tabOrder.push_back(GetDlgCtrlID(at = GetNextDlgTabItem(dialog, at, FALSE)));
      EXPECT_EQ(tabOrder,
                (std::vector<int>{IDOK, IDCANCEL, IDC_TEST, IDC_PROTOCOL, IDC_DEVICE, IDOK}));
      EXPECT_EQ(SendMessageW(dialog, DM_GETDEFID, 0, 0), MAKELRESULT(IDOK, DC_HASDEFID));
      // Alt and a label's key move to the label's box; then back to OK, for the picture.
      for (const auto& [key, box] :
           {std::pair{L'e', IDC_DEVICE}, {L'p', IDC_PROTOCOL}, {0, IDOK}}) {
        key ? PostMessageW(dialog, WM_SYSCHAR, key, 1 << 29)
            : PostMessageW(dialog, WM_NEXTDLGCTL, WPARAM(GetDlgItem(dialog, IDOK)), TRUE);
        EXPECT_TRUE(Eventually([&, box = box] {
          GUITHREADINFO info{sizeof info};
          GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
          return info.hwndFocus == GetDlgItem(dialog, box) ||
                 GetParent(info.hwndFocus) == GetDlgItem(dialog, box);
        })) << box;
      }
      EXPECT_EQ(Font(dialog, IDOK) + Font(dialog, IDC_TEST), L"Tahoma-12Tahoma-11");  // 9, 8.25 pt
      const auto shot = Capture(dialog);
      EXPECT_EQ(Colour(*shot, dialog, IDC_DEVICE, -30), 0xFFFFC0u);  // light yellow
      EXPECT_EQ(Colour(*shot, dialog, IDC_PROTOCOL, -30), 0xFFFFC0u);
      EXPECT_EQ(Colour(*shot, dialog, IDC_IMAGE, 15, 18), 0xE2B43Cu);  // the logo's chip

      SetDlgItemTextW(dialog, IDC_DEVICE, L"Tarsin Virtual Reader 0");
      SendDlgItemMessageW(dialog, IDC_PROTOCOL, CB_SETCURSEL, 1, 0);
      Keep(*Capture(dialog), L"configure-win32-" + std::wstring(picture));
      Click(dialog, IDC_TEST);
      const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
      HWND test = DialogWith(thread, IDC_LOG);
      ASSERT_NE(test, nullptr);
      EXPECT_FALSE(IsWindowEnabled(GetDlgItem(test, IDOK)));
      PostMessageW(test, WM_CLOSE, 0, 0);
      EXPECT_TRUE(Eventually([&] { return IsWindowEnabled(GetDlgItem(test, IDOK)) != FALSE; }));
      std::wstring log = Text(test) + L"\r\n" + Text(test, IDC_LOG);
      for (size_t at; (at = log.find(L"\r\n")) != std::wstring::npos;) log.replace(at, 2, L"|");
      EXPECT_EQ(log, expectedLog);
      EXPECT_EQ(Font(test, IDC_LOG), L"Tahoma-11");  // 8.25 points
      Keep(*Capture(test), L"test-win32-" + std::wstring(picture));
      Click(test, IDOK);
      ASSERT_NE(DialogWith(thread, IDC_DEVICE), nullptr);  // enabled again
      Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(outcome, "0|Nowhere|1|0|2") << picture;  // cancelled: the test accepted nothing
  }
}

// --operator: answers encoder_test.vbs's configuration dialogs from a process of its own: the
// third entry (reader 1, as the script checks) and T=0; Cancel in English, OK in French.
int Operate() {
  for (const auto& [title, button] : {std::pair{L"Tarsin RF encoder Configuration", IDCANCEL},
                                      {L"Configuration de l'encodeur Tarsin RF", IDOK}}) {
    HWND dialog = nullptr;
    const bool shown = Eventually(
        [&] { return (dialog = FindWindowW(L"#32770", title)) && IsWindowVisible(dialog); }, 60);
    if (shown) {
      SendDlgItemMessageW(dialog, IDC_DEVICE, CB_SETCURSEL, 2, 0);
      SendDlgItemMessageW(dialog, IDC_PROTOCOL, CB_SETCURSEL, 0, 0);
      Click(dialog, button);
    }
    if (!shown || !Eventually([&] { return !IsWindow(dialog); })) {
      std::printf("operator: \"%ls\" was not shown, or not closed by its button\n", title);
      return 1;
    }
  }
  return 0;
}

}  // namespace

// With no window manager, Wine draws captions itself only with Decorated=N, and stops waiting 2 s
// for one at each close with Managed=N (read at the first window). The close glyph needs Marlett.
int main(int argc, char** argv) {
  if (argc == 2 && std::string_view(argv[1]) == "--operator") return Operate();
  wchar_t data[MAX_PATH] = {};  // \??\Z:\usr\share\wine, say
  if (GetEnvironmentVariableW(L"WINEDATADIR", data, MAX_PATH) > 4) {
    for (const wchar_t* setting : {L"Decorated", L"Managed"})
      RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", setting, REG_SZ, L"N", 4);
    AddFontResourceExW((std::wstring(data + 4) + L"\\fonts\\marlett.ttf").c_str(), FR_PRIVATE,
                       nullptr);
  }
  ULONG_PTR token;
  const Gdiplus::GdiplusStartupInput startup;
  Gdiplus::GdiplusStartup(&token, &startup, nullptr);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
