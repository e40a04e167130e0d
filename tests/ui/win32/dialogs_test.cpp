// TarsinRFDialogs.dll as the component meets it: loaded by name, its entry point called on this
// thread, which runs the modal dialogs. A second thread reads and answers them through Win32
// messages, as a user would. The texts and the reader test they show are shared with the Qt
// dialogs and tested with them; here, what the Win32 dialogs add.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
using std::max;  // for GDI+, without the macros of the same names
using std::min;
#include <gdiplus.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "pcsc/dialog_abi.h"
#include "ui/win32/resource_ids.h"

namespace {

// The component's calls, standing in for the virtual reader until it runs under Wine: two
// readers, the first with a card.
int32_t ListReaders(intptr_t, char* readers, uint32_t* length) {
  static const char kReaders[] = "Tarsin Virtual Reader 0\0Tarsin Virtual Reader 1\0";
  if (readers) std::memcpy(readers, kReaders, std::min<uint32_t>(*length, sizeof kReaders));
  *length = sizeof kReaders;
  return 0;
}
int32_t Connect(intptr_t, const char*, uint32_t, uint32_t protocols, intptr_t* card,
                uint32_t* active) {
  *card = 7;
  *active = protocols;
  return 0;
}
int32_t GetAttrib(intptr_t, uint32_t attrId, uint8_t* value, uint32_t* length) {
  static const std::map<uint32_t, std::string> attributes{
      {0x7FFF0003, std::string("Tarsin Virtual Reader 0", 24)},
      {0x00010100, std::string("Tarsin", 7)},
      {0x00010101, std::string("Test reader", 12)},
      {0x00010102, std::string("\x01\x00\x00\xC8", 4)},
      {0x00010103, std::string("SN-42", 6)}};
  const std::string& found = attributes.at(attrId);
  if (value) std::memcpy(value, found.data(), std::min<size_t>(*length, found.size()));
  *length = static_cast<uint32_t>(found.size());
  return 0;
}
int32_t Disconnect(intptr_t, uint32_t) {
  return 0;
}
void ErrorText(int32_t, char* text, uint32_t) {
  *text = '\0';
}
constexpr TarsinPcscCalls kCalls{ListReaders, Connect, GetAttrib, Disconnect, ErrorText};

std::wstring Text(HWND dialog, int id = 0, int item = -1) {
  wchar_t text[1024] = {};
  HWND window = id ? GetDlgItem(dialog, id) : dialog;
  item < 0 ? GetWindowTextW(window, text, 1024)
           : SendMessageW(window, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(text));
  return text;
}

LOGFONTW Font(HWND dialog, int id) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, id, WM_GETFONT, 0, 0)),
             sizeof font, &font);
  return font;
}

bool Eventually(const std::function<bool()>& condition) {
  for (int i = 0; i < 1000; ++i, Sleep(10)) {
    if (condition()) return true;
  }
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

// What the screen shows of a window, top row first, 0x00RRGGBB.
struct Picture {
  LONG width, height;
  std::vector<uint32_t> pixels;
  uint32_t At(POINT point) const { return pixels[point.y * width + point.x] & 0xFFFFFF; }
};

Picture Capture(HWND window) {
  SetForegroundWindow(window);  // no window manager activates it
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
  Sleep(300);  // Wine hands the drawing to the X server in its own time
  RECT frame;
  GetWindowRect(window, &frame);
  Picture picture{frame.right - frame.left, frame.bottom - frame.top, {}};
  picture.pixels.resize(static_cast<size_t>(picture.width * picture.height));
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, picture.width, picture.height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, picture.width, picture.height, screen, frame.left, frame.top, SRCCOPY);
  SelectObject(memory, previous);
  BITMAPINFO info{{sizeof(BITMAPINFOHEADER), picture.width, -picture.height, 1, 32, BI_RGB}};
  GetDIBits(memory, bitmap, 0, picture.height, picture.pixels.data(), &info, DIB_RGB_COLORS);
  DeleteDC(memory);
  DeleteObject(bitmap);
  ReleaseDC(nullptr, screen);
  return picture;
}

// A point of the control `id` in the window's picture: `dx` from its left edge (from its right
// when negative), `dy` from its top (from its middle when negative).
POINT PointOf(HWND dialog, int id, int dx, int dy = -1) {
  RECT frame, control;
  GetWindowRect(dialog, &frame);
  GetWindowRect(GetDlgItem(dialog, id), &control);
  return {(dx >= 0 ? control.left + dx : control.right + dx) - frame.left,
          (dy >= 0 ? control.top + dy : (control.top + control.bottom) / 2) - frame.top};
}

// With TARSIN_RF_SCREENSHOTS naming a folder, the README's picture `name`.png is written there.
void Keep(Picture picture, const std::string& name) {
  const char* folder = std::getenv("TARSIN_RF_SCREENSHOTS");
  if (!folder || !*folder) return;
  const std::string path = std::string(folder) + "/" + name + ".png";
  const CLSID png{0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
  Gdiplus::Bitmap image(picture.width, picture.height, 4 * picture.width, PixelFormat32bppRGB,
                        reinterpret_cast<BYTE*>(picture.pixels.data()));
  EXPECT_EQ(image.Save(std::wstring(path.begin(), path.end()).c_str(), &png, nullptr), Gdiplus::Ok)
      << path;
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

  // Shows the configuration dialog on this thread with `form`, while `answer` runs on another
  // thread with the dialog once it is shown. The entry point's result.
  int32_t Show(TarsinConfigurationForm& form, const std::function<void(HWND)>& answer) {
    std::thread user([&, thread = GetCurrentThreadId()] {
      HWND dialog = DialogWith(thread, IDC_DEVICE);
      if (!dialog) return ADD_FAILURE() << "the configuration dialog did not show";
      answer(dialog);
    });
    const int32_t result = show_(&form);
    user.join();
    return result;
  }

  static TarsinConfigurationForm Form(const char* language, const char* device, int protocol) {
    TarsinConfigurationForm form{language, 42, {}, protocol, 2, 1, &kCalls, {}};
    std::strncpy(form.device, device, sizeof form.device - 1);
    return form;  // okPressed as a previous use may have left it
  }

  HMODULE library_ = nullptr;
  TarsinShowConfiguration show_ = nullptr;
};

// The captions in either language, and what does not change with it: the tab order, the access
// keys' targets, the fonts, the picture and the boxes' colour.
TEST_F(DialogTest, ConfigurationShowsItsCaptionsAndLook) {
  const std::pair<const char*, const wchar_t*> rows[] = {
      {"FRANCAIS",
       L"Configuration de l'encodeur Tarsin RF|&Test encodeur...|Annuler|OK|&Encodeur :|"
       L"&Protocole :|-- Inconnu --|Tarsin Virtual Reader 0|Tarsin Virtual Reader 1|T=0|T=1"},
      {"fr",
       L"Tarsin RF encoder Configuration|&Test settings...|Cancel|OK|&Encoder:|&Protocol:|"
       L"-- Unknown --|Tarsin Virtual Reader 0|Tarsin Virtual Reader 1|T=0|T=1"}};
  for (const auto& [language, captions] : rows) {
    TarsinConfigurationForm form = Form(language, "nowhere", 2);
    const int32_t result = Show(form, [&](HWND dialog) {
      std::wstring shown = Text(dialog);
      for (int id : {IDC_TEST, IDCANCEL, IDOK, IDC_DEVICE_LABEL, IDC_PROTOCOL_LABEL}) {
        shown += L"|" + Text(dialog, id);
      }
      for (int item = 0; item < 5; ++item) {  // the reader box's three, the protocol box's two
        shown += L"|" + Text(dialog, item < 3 ? IDC_DEVICE : IDC_PROTOCOL, item % 3);
      }
      EXPECT_EQ(shown, captions);
      std::vector<int> tabOrder{IDOK};
      for (HWND at = GetDlgItem(dialog, IDOK); tabOrder.size() < 6;) {
        tabOrder.push_back(GetDlgCtrlID(at = GetNextDlgTabItem(dialog, at, FALSE)));
      }
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
      for (const auto& [id, height] : {std::pair{IDOK, -12}, {IDC_TEST, -11}}) {
        EXPECT_EQ(Font(dialog, id).lfFaceName + std::to_wstring(Font(dialog, id).lfHeight),
                  L"Tahoma" + std::to_wstring(height));  // 9 and 8.25 points
      }
      const Picture picture = Capture(dialog);
      EXPECT_EQ(picture.At(PointOf(dialog, IDC_DEVICE, -30)), 0xFFFFC0u);  // light yellow
      EXPECT_EQ(picture.At(PointOf(dialog, IDC_PROTOCOL, -30)), 0xFFFFC0u);
      EXPECT_EQ(picture.At(PointOf(dialog, IDC_IMAGE, 15, 18)), 0xE2B43Cu);  // the logo's chip
      RECT image;
      GetClientRect(GetDlgItem(dialog, IDC_IMAGE), &image);
      EXPECT_EQ(image.right * 1000 + image.bottom, 80042);  // 80 x 42 pixels
      Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(result, 0) << language;
    EXPECT_EQ(form.okPressed, 0) << language;
  }
}

// The user's answer, and what the form reads afterwards (the open mode never changes).
TEST_F(DialogTest, ConfigurationTakesTheAnswerBack) {
  const auto set = [](const wchar_t* device, int protocol) {
    return [=](HWND dialog) {
      if (device) SetDlgItemTextW(dialog, IDC_DEVICE, device);
      if (protocol) SendDlgItemMessageW(dialog, IDC_PROTOCOL, CB_SETCURSEL, protocol - 1, 0);
    };
  };
  const struct {
    const char* device;
    int protocol;
    std::function<void(HWND)> change;
    int closing;  // the button, or 0 for the window's frame
    int okPressed;
    const char* deviceAfter;
    int protocolAfter;
  } rows[] = {
      {"tarsin VIRTUAL reader 1", 2, set(nullptr, 0), IDOK, 1, "Tarsin Virtual Reader 1", 2},
      {"Nowhere", 7, set(nullptr, 0), IDOK, 1, "-- Unknown --", 0},
      {"Nowhere", 2, set(L"Typed Reader é", 1), IDOK, 1, "Typed Reader \xC3\xA9", 1},
      {"Nowhere", 2, set(L"Tarsin Virtual Reader 0", 1), IDCANCEL, 0, "Nowhere", 2},
      {"Nowhere", 2, set(L"Tarsin Virtual Reader 0", 1), 0, 0, "Nowhere", 2},
  };
  for (const auto& row : rows) {
    TarsinConfigurationForm form = Form("", row.device, row.protocol);
    const int32_t result = Show(form, [&](HWND dialog) {
      row.change(dialog);
      row.closing ? Click(dialog, row.closing) : (void)PostMessageW(dialog, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(std::to_string(result) + form.device + std::to_string(form.protocol) +
                  std::to_string(form.okPressed) + std::to_string(form.openMode),
              "0" + std::string(row.deviceAfter) + std::to_string(row.protocolAfter) +
                  std::to_string(row.okPressed) + "2");
  }
  TarsinConfigurationForm form = Form("", "Nowhere", 1);
  form.pcsc = nullptr;
  EXPECT_EQ(show_(&form), 1);
  EXPECT_STREQ(form.reason, "no resource-manager calls were given");
  EXPECT_EQ(show_(nullptr), 1);
}

// The test dialog over the configuration dialog, on the values shown there: it cannot be closed
// before the test has ended, about a second after it showed, and then holds the log.
TEST_F(DialogTest, TheTestRunsOnTheValuesShown) {
  const std::pair<const char*, const wchar_t*> rows[] = {
      {"en",
       L"Tarsin RF encoder test|Starting the test.|Opening encoder \"Tarsin Virtual Reader 0\", "
       L"protocol T=1...|Encoder open. Active protocol: T=1|Encoder type: Tarsin Virtual Reader "
       L"0|Card available in the encoder.|Vendor name: Tarsin|Type: Test reader|Version: "
       L"1.0.51200|Serial number: SN-42|Closing the encoder...||<< Successful test >>|"},
      {"fr",
       L"Test de l'encodeur Tarsin RF|Début du test.|Ouverture de l'encodeur \"Tarsin Virtual "
       L"Reader 0\", protocole T=1...|Ouvert. Protocole actif: T=1|Type d'encodeur : Tarsin "
       L"Virtual Reader 0|Carte présente dans l'encodeur.|Fabricant: Tarsin|Type: Test "
       L"reader|Version: 1.0.51200|Numéro de série: SN-42|Fermeture de l'encodeur||<< Test "
       L"réussi >>|"}};
  for (const auto& [picture, log] : rows) {
    TarsinConfigurationForm form = Form(picture[0] == 'f' ? "francais" : "", "Nowhere", 1);
    const int32_t result = Show(form, [&](HWND configuration) {
      SetDlgItemTextW(configuration, IDC_DEVICE, L"Tarsin Virtual Reader 0");
      SendDlgItemMessageW(configuration, IDC_PROTOCOL, CB_SETCURSEL, 1, 0);
      Keep(Capture(configuration), std::string("configure-win32-") + picture);
      Click(configuration, IDC_TEST);
      const DWORD thread = GetWindowThreadProcessId(configuration, nullptr);
      HWND test = DialogWith(thread, IDC_LOG);
      ASSERT_NE(test, nullptr);
      EXPECT_FALSE(IsWindowEnabled(GetDlgItem(test, IDOK)));
      PostMessageW(test, WM_CLOSE, 0, 0);
      EXPECT_TRUE(Eventually([&] { return IsWindowEnabled(GetDlgItem(test, IDOK)) != FALSE; }));
      EXPECT_TRUE(IsWindowVisible(test));
      std::wstring shown = Text(test) + L"\r\n" + Text(test, IDC_LOG);
      for (size_t at; (at = shown.find(L"\r\n")) != std::wstring::npos;) shown.replace(at, 2, L"|");
      EXPECT_EQ(shown, log);
      EXPECT_EQ(Font(test, IDC_LOG).lfFaceName + std::to_wstring(Font(test, IDC_LOG).lfHeight),
                L"Tahoma-11");  // 8.25 points
      Keep(Capture(test), std::string("test-win32-") + picture);
      Click(test, IDOK);
      ASSERT_NE(DialogWith(thread, IDC_DEVICE), nullptr);  // enabled again
      Click(configuration, IDCANCEL);
    });
    EXPECT_EQ(std::to_string(result) + form.device + std::to_string(form.protocol),
              "0Nowhere1");  // the test accepted nothing
  }
}

}  // namespace

// Under Wine, on a virtual X server without a window manager: Wine draws the windows' captions
// itself only with Decorated=N, and with Managed=N it no longer waits two seconds for a window
// manager each time a window closes; both are read when this process first shows a window. The
// close button's glyph is Marlett's, which this Wine finds only when it is added.
int main(int argc, char** argv) {
  wchar_t data[MAX_PATH] = {};  // \??\Z:\usr\share\wine, say
  if (GetEnvironmentVariableW(L"WINEDATADIR", data, MAX_PATH) > 4) {
    for (const wchar_t* setting : {L"Decorated", L"Managed"}) {
      RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", setting, REG_SZ, L"N", 4);
    }
    AddFontResourceExW((std::wstring(data + 4) + L"\\fonts\\marlett.ttf").c_str(), FR_PRIVATE,
                       nullptr);
  }
  ULONG_PTR token;
  const Gdiplus::GdiplusStartupInput startup;
  Gdiplus::GdiplusStartup(&token, &startup, nullptr);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
