// TarsinRFDialogs.dll as the component meets it: loaded by name, its entry point called on this
// thread, which runs the modal dialogs. A second thread reads and answers them through Win32
// messages, as a user would, and closes them by posted messages.
#include <gtest/gtest.h>
#include <wincodec.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "pcsc/dialog_abi.h"
#include "ui/win32/resource_ids.h"

namespace {

// The readers behind the dialogs: the component's calls stand in for the virtual reader until it
// runs under Wine. Reader 0 holds a card; reader 1 answers that there is none.
constexpr char kReaders[] = "Tarsin Virtual Reader 0\0Tarsin Virtual Reader 1\0";
constexpr int32_t kRemovedCard = static_cast<int32_t>(0x80100069);
constexpr int32_t kUnknownReader = static_cast<int32_t>(0x80100009);
uint32_t sharedWith = 0;  // the share mode of the last connection
int disconnects = 0;

int32_t ListReaders(intptr_t, char* readers, uint32_t* length) {
  if (readers) std::memcpy(readers, kReaders, std::min<uint32_t>(*length, sizeof kReaders));
  *length = sizeof kReaders;
  return 0;
}

int32_t Connect(intptr_t, const char* reader, uint32_t shareMode, uint32_t protocols,
                intptr_t* card, uint32_t* active) {
  sharedWith = shareMode;
  *active = 0;
  if (std::strcmp(reader, "Tarsin Virtual Reader 1") == 0) return kRemovedCard;
  if (std::strcmp(reader, "Tarsin Virtual Reader 0") != 0) return kUnknownReader;
  *card = 7;
  *active = protocols;
  return 0;
}

int32_t GetAttrib(intptr_t, uint32_t attrId, uint8_t* value, uint32_t* length) {
  static const std::map<uint32_t, std::string> attributes{
      {0x7FFF0003, std::string("Tarsin Virtual Reader 0", 24)},
      {0x00010100, std::string("Tarsin", 7)},
      {0x00010101, std::string("Test reader", 12)},
      {0x00010102, std::string("\x01\x00\x00\xC8", 4)},  // 1.0.51200
      {0x00010103, std::string("SN-42", 6)}};
  const std::string& found = attributes.at(attrId);
  if (value) std::memcpy(value, found.data(), std::min<size_t>(*length, found.size()));
  *length = static_cast<uint32_t>(found.size());
  return 0;
}

int32_t Disconnect(intptr_t, uint32_t) {
  ++disconnects;
  return 0;
}

void ErrorText(int32_t, char* text, uint32_t capacity) {
  std::strncpy(text, "Unknown reader. (SCARD_E_UNKNOWN_READER)", capacity - 1);
}

constexpr TarsinPcscCalls kCalls{ListReaders, Connect, GetAttrib, Disconnect, ErrorText};

std::wstring Text(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return text;
}

std::wstring Item(HWND dialog, int box, int index) {
  wchar_t text[256] = {};
  SendDlgItemMessageW(dialog, box, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
  return text;
}

LOGFONTW Font(HWND dialog, int id) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, id, WM_GETFONT, 0, 0)),
             sizeof font, &font);
  return font;
}

// Polls for up to ten seconds.
bool Eventually(const std::function<bool()>& condition) {
  for (int i = 0; i < 1000; ++i, Sleep(10)) {
    if (condition()) return true;
  }
  return false;
}

// The enabled, visible dialog of `thread` that holds the control `id`.
HWND DialogWith(DWORD thread, int id) {
  struct Search {
    int id;
    HWND found = nullptr;
  } search{id};
  Eventually([&] {
    EnumThreadWindows(
        thread,
        [](HWND window, LPARAM data) {
          auto* search = reinterpret_cast<Search*>(data);
          if (IsWindowVisible(window) && IsWindowEnabled(window) &&
              GetDlgItem(window, search->id)) {
            search->found = window;
          }
          return search->found ? FALSE : TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  });
  return search.found;
}

void Click(HWND dialog, int button) {
  PostMessageW(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
}

// What the screen shows of a window, 32 bits a pixel, top row first.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB

  uint32_t At(POINT point) const { return pixels[point.y * width + point.x]; }
};

Picture Capture(HWND window) {
  SetForegroundWindow(window);  // no window manager activates it
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Sleep(300);  // Wine hands the drawing to the X server in its own time
  RECT frame;
  GetWindowRect(window, &frame);
  Picture picture{frame.right - frame.left, frame.bottom - frame.top, {}};
  picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, picture.width, picture.height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, picture.width, picture.height, screen, frame.left, frame.top, SRCCOPY);
  SelectObject(memory, previous);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof info.bmiHeader, picture.width, -picture.height, 1, 32, BI_RGB};
  GetDIBits(memory, bitmap, 0, picture.height, picture.pixels.data(), &info, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  for (uint32_t& pixel : picture.pixels) pixel &= 0xFFFFFF;
  return picture;
}

// A point of control `id`, `dx` from its left edge (from its right when negative), halfway down,
// in the window's picture.
POINT PointOf(HWND dialog, int id, int dx) {
  RECT frame, control;
  GetWindowRect(dialog, &frame);
  GetWindowRect(GetDlgItem(dialog, id), &control);
  const LONG x = dx >= 0 ? control.left + dx : control.right + dx;
  return {x - frame.left, (control.top + control.bottom) / 2 - frame.top};
}

template <class Interface>
struct Com {
  Interface* p = nullptr;
  ~Com() {
    if (p) p->Release();
  }
  Interface* operator->() const { return p; }
};

bool SavePng(const Picture& picture, const std::wstring& file) {
  const UINT stride = (static_cast<UINT>(picture.width) * 3 + 3) & ~3U;
  std::vector<BYTE> rows(stride * picture.height);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      const uint32_t pixel = picture.At({x, y});
      std::memcpy(&rows[y * stride + x * 3], &pixel, 3);  // blue, green, red
    }
  }
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  Com<IWICImagingFactory> factory;
  Com<IWICBitmap> source;
  Com<IWICStream> stream;
  Com<IWICBitmapEncoder> encoder;
  Com<IWICBitmapFrameEncode> frame;
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_PPV_ARGS(&factory.p))) &&
         SUCCEEDED(factory->CreateBitmapFromMemory(picture.width, picture.height, format, stride,
                                                   static_cast<UINT>(rows.size()), rows.data(),
                                                   &source.p)) &&
         SUCCEEDED(factory->CreateStream(&stream.p)) &&
         SUCCEEDED(stream->InitializeFromFilename(file.c_str(), GENERIC_WRITE)) &&
         SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder.p)) &&
         SUCCEEDED(encoder->Initialize(stream.p, WICBitmapEncoderNoCache)) &&
         SUCCEEDED(encoder->CreateNewFrame(&frame.p, nullptr)) &&
         SUCCEEDED(frame->Initialize(nullptr)) &&
         SUCCEEDED(frame->SetSize(picture.width, picture.height)) &&
         SUCCEEDED(frame->SetPixelFormat(&format)) &&
         SUCCEEDED(frame->WriteSource(source.p, nullptr)) && SUCCEEDED(frame->Commit()) &&
         SUCCEEDED(encoder->Commit());
}

// With TARSIN_RF_SCREENSHOTS naming a folder, `picture` is written there as `name`.png.
void Keep(const Picture& picture, const std::string& name) {
  const char* folder = std::getenv("TARSIN_RF_SCREENSHOTS");
  if (!folder || !*folder) return;
  const std::string file = std::string(folder) + "/" + name + ".png";
  EXPECT_TRUE(SavePng(picture, std::wstring(file.begin(), file.end()))) << file;
}

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* named = std::getenv("TARSIN_RF_DIALOG_LIBRARY");
    library_ = LoadLibraryA(named && *named ? named : "TarsinRFDialogs.dll");
    ASSERT_NE(library_, nullptr) << GetLastError();
    show_ = reinterpret_cast<TarsinShowConfiguration>(
        reinterpret_cast<void*>(GetProcAddress(library_, kShowConfigurationEntry)));
    ASSERT_NE(show_, nullptr);
  }
  void TearDown() override { FreeLibrary(library_); }

  // Shows the configuration dialog on this thread with `form`, while `answer` runs on another
  // thread with the dialog once it is shown. The entry point's result.
  int32_t Show(TarsinConfigurationForm& form, const std::function<void(HWND)>& answer) {
    const DWORD thread = GetCurrentThreadId();
    std::thread user([&] {
      HWND dialog = DialogWith(thread, IDC_DEVICE);
      if (!dialog) return ADD_FAILURE() << "the configuration dialog did not show";
      answer(dialog);
    });
    const int32_t result = show_(&form);
    user.join();
    return result;
  }

  static TarsinConfigurationForm Form(const char* language, const char* device, int protocol,
                                      int openMode = 2) {
    TarsinConfigurationForm form{language, 42, {}, protocol, openMode, 0, &kCalls, {}};
    std::strncpy(form.device, device, sizeof form.device - 1);
    return form;
  }

  HMODULE library_ = nullptr;
  TarsinShowConfiguration show_ = nullptr;
};

// The captions in either language, and what does not change with it: the tab order, the access
// keys' targets, the font, the picture and the boxes' colour.
TEST_F(DialogTest, ConfigurationShowsItsCaptionsAndLook) {
  const wchar_t* english =
      L"Tarsin RF encoder Configuration|-- Unknown --|&Test settings...|Cancel|OK|&Encoder:|"
      L"&Protocol:";
  const wchar_t* french =
      L"Configuration de l'encodeur Tarsin RF|-- Inconnu --|&Test encodeur...|Annuler|OK|"
      L"&Encodeur :|&Protocole :";
  const std::pair<const char*, const wchar_t*> rows[] = {
      {"Francais", french}, {"FRANCAIS", french}, {"fr", english}, {"", english}};
  for (const auto& [language, captions] : rows) {
    SCOPED_TRACE(language);
    TarsinConfigurationForm form = Form(language, "nowhere", 2);
    const int32_t result = Show(form, [&](HWND dialog) {
      std::wstring shown = Text(dialog) + L"|" + Item(dialog, IDC_DEVICE, 0);
      for (int id : {IDC_TEST, IDCANCEL, IDOK, IDC_DEVICE_LABEL, IDC_PROTOCOL_LABEL}) {
        shown += L"|" + Text(GetDlgItem(dialog, id));
      }
      EXPECT_EQ(shown, captions);
      EXPECT_EQ(Item(dialog, IDC_DEVICE, 1) + L"|" + Item(dialog, IDC_DEVICE, 2) + L"|" +
                    Item(dialog, IDC_PROTOCOL, 0) + L"|" + Item(dialog, IDC_PROTOCOL, 1),
                L"Tarsin Virtual Reader 0|Tarsin Virtual Reader 1|T=0|T=1");
      EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_DEVICE, CB_GETCURSEL, 0, 0), 0);  // not listed

      std::vector<int> tabOrder{IDOK};
      for (HWND at = GetDlgItem(dialog, IDOK); tabOrder.size() < 6;) {
        at = GetNextDlgTabItem(dialog, at, FALSE);
        tabOrder.push_back(GetDlgCtrlID(at));
      }
      EXPECT_EQ(tabOrder,
                (std::vector<int>{IDOK, IDCANCEL, IDC_TEST, IDC_PROTOCOL, IDC_DEVICE, IDOK}));
      EXPECT_EQ(SendMessageW(dialog, DM_GETDEFID, 0, 0), MAKELRESULT(IDOK, DC_HASDEFID));
      // Alt and a label's key move to the label's box.
      for (const auto& [key, box] : {std::pair{L'e', IDC_DEVICE}, {L'p', IDC_PROTOCOL}}) {
        PostMessageW(dialog, WM_SYSCHAR, key, 1 << 29);
        const auto focused = [&, box = box] {
          GUITHREADINFO info{sizeof info};
          GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
          HWND control = GetDlgItem(dialog, box);
          return info.hwndFocus == control || GetParent(info.hwndFocus) == control;
        };
        EXPECT_TRUE(Eventually(focused)) << static_cast<char>(key);
      }
      // Back to OK, so that the protocol box's face is not highlighted in the picture.
      PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDOK)), TRUE);
      Sleep(100);

      for (const auto& [id, height] : {std::pair{IDOK, -12}, {IDC_DEVICE, -12}, {IDC_TEST, -11}}) {
        EXPECT_STREQ(Font(dialog, id).lfFaceName, L"Tahoma") << id;
        EXPECT_EQ(Font(dialog, id).lfHeight, height) << id;  // 9 and 8.25 points
      }
      const Picture picture = Capture(dialog);
      EXPECT_EQ(picture.At(PointOf(dialog, IDC_DEVICE, -30)), 0xFFFFC0u);
      EXPECT_EQ(picture.At(PointOf(dialog, IDC_PROTOCOL, -30)), 0xFFFFC0u);
      RECT image;
      GetClientRect(GetDlgItem(dialog, IDC_IMAGE), &image);
      EXPECT_EQ(image.right * 1000 + image.bottom, 80042);  // 80 x 42 pixels
      POINT chip = PointOf(dialog, IDC_IMAGE, 15);
      chip.y += 18 - 21;  // 15, 18 from the picture's corner: inside the chip
      EXPECT_EQ(picture.At(chip), 0xE2B43Cu);
      Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(form.okPressed, 0);
  }
}

// The user's answer, and what the form reads afterwards (the open mode never changes).
TEST_F(DialogTest, ConfigurationTakesTheAnswerBack) {
  const auto select = [](int box, int index) {
    return [=](HWND dialog) { SendDlgItemMessageW(dialog, box, CB_SETCURSEL, index, 0); };
  };
  const auto type = [](HWND dialog) { SetDlgItemTextW(dialog, IDC_DEVICE, L"Typed Reader é"); };
  const auto none = [](HWND) {};
  const struct {
    const char* device;
    int protocol;
    std::function<void(HWND)> change;
    int closing;  // the button, or 0 for the window's frame
    int okPressed;
    const char* deviceAfter;
    int protocolAfter;
  } rows[] = {
      {"tarsin VIRTUAL reader 0", 2, none, IDOK, 1, "Tarsin Virtual Reader 0", 2},
      {"Nowhere", 1, none, IDOK, 1, "-- Unknown --", 1},
      {"Tarsin Virtual Reader 0", 7, none, IDOK, 1, "Tarsin Virtual Reader 0", 0},
      {"Tarsin Virtual Reader 0", 2, select(IDC_DEVICE, 2), IDOK, 1, "Tarsin Virtual Reader 1", 2},
      {"Tarsin Virtual Reader 0", 2, select(IDC_PROTOCOL, 0), IDOK, 1, "Tarsin Virtual Reader 0",
       1},
      {"Tarsin Virtual Reader 0", 2, type, IDOK, 1, "Typed Reader \xC3\xA9", 2},
      {"Nowhere", 2, select(IDC_DEVICE, 1), IDCANCEL, 0, "Nowhere", 2},
      {"Nowhere", 2, select(IDC_DEVICE, 1), 0, 0, "Nowhere", 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.device) + " " + std::to_string(row.closing));
    TarsinConfigurationForm form = Form("", row.device, row.protocol);
    form.okPressed = 1;  // as a previous use left it
    const int32_t result = Show(form, [&](HWND dialog) {
      row.change(dialog);
      row.closing ? Click(dialog, row.closing) : (void)PostMessageW(dialog, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(form.okPressed, row.okPressed);
    EXPECT_STREQ(form.device, row.deviceAfter);
    EXPECT_EQ(form.protocol, row.protocolAfter);
    EXPECT_EQ(form.openMode, 2);
  }
  // Without the component's calls, or without a form, nothing is shown.
  TarsinConfigurationForm form = Form("", "Nowhere", 1);
  form.pcsc = nullptr;
  EXPECT_EQ(show_(&form), 1);
  EXPECT_STREQ(form.reason, "no resource-manager calls were given");
  EXPECT_EQ(show_(nullptr), 1);
}

// The test dialog opened from the configuration dialog on the values shown there: its log for
// each outcome; the rows with a picture name give the README's pictures.
TEST_F(DialogTest, TheTestLogsEachStep) {
  const std::wstring card =
      L"Card available in the encoder. | Vendor name: Tarsin | Type: Test reader | Version: "
      L"1.0.51200 | Serial number: SN-42";
  const std::wstring success = L" | Closing the encoder... |  | << Successful test >> | ";
  const std::wstring english = L"Tarsin RF encoder test | Starting the test. | Opening encoder \"";
  const std::wstring french =
      L"Test de l'encodeur Tarsin RF | Début du test. | Ouverture de l'encodeur \"";
  const std::wstring unable = L"Unable to open encoder: Unknown reader. (SCARD_E_UNKNOWN_READER)";
  const struct {
    const char* language;
    const wchar_t* device;
    int protocolIndex;
    int openMode;
    std::wstring log;
    uint32_t sharedWith;
    int disconnects;
    const char* picture;
  } rows[] = {
      {"", L"Tarsin Virtual Reader 0", 1, 2,
       english +
           L"Tarsin Virtual Reader 0\", protocol T=1... | Encoder open. Active protocol: "
           L"T=1 | Encoder type: Tarsin Virtual Reader 0 | " +
           card + success,
       2, 1, "en"},
      {"", L"Tarsin Virtual Reader 1", 0, 0,
       english +
           L"Tarsin Virtual Reader 1\", protocol T=0... | Encoder open. Active protocol: "
           L"\"0\" | Encoder type: Tarsin Virtual Reader 1 | No card available in the "
           L"encoder." +
           success,
       1, 0},
      {"", L"Ghost", -1, 2,
       english + L"Ghost\", protocol unknown... | Error 0x080100009: " + unable +
           L" | Failed to open the encoder. |  | << Test failed >> | ",
       2, 0},
      {"FRANCAIS", L"Tarsin Virtual Reader 0", 1, 2,
       french + L"Tarsin Virtual Reader 0\", protocole T=1... | Ouvert. Protocole actif: T=1 | "
                L"Type d'encodeur : Tarsin Virtual Reader 0 | Carte présente dans l'encodeur. | "
                L"Fabricant: Tarsin | Type: Test reader | Version: 1.0.51200 | Numéro de série: "
                L"SN-42 | Fermeture de l'encodeur |  | << Test réussi >> | ",
       2, 1, "fr"},
      {"francais", L"Ghost", 1, 2,
       french + L"Ghost\", protocole T=1... | Erreur 0x080100009 : " + unable +
           L" | Impossible d'ouvrir l'encodeur. |  | << Echec du test >> | ",
       2, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.language) + " " + std::to_string(row.protocolIndex));
    TarsinConfigurationForm form = Form(row.language, "Nowhere", 2, row.openMode);
    sharedWith = 0;
    disconnects = 0;
    std::wstring log;
    const int32_t result = Show(form, [&](HWND configuration) {
      SetDlgItemTextW(configuration, IDC_DEVICE, row.device);
      SendDlgItemMessageW(configuration, IDC_PROTOCOL, CB_SETCURSEL, row.protocolIndex, 0);
      if (row.picture) Keep(Capture(configuration), std::string("configure-win32-") + row.picture);
      Click(configuration, IDC_TEST);
      HWND test = DialogWith(GetWindowThreadProcessId(configuration, nullptr), IDC_LOG);
      ASSERT_NE(test, nullptr);
      // Nothing closes the dialog before the test has ended, about a second after it showed.
      EXPECT_FALSE(IsWindowEnabled(GetDlgItem(test, IDOK)));
      PostMessageW(test, WM_CLOSE, 0, 0);
      EXPECT_TRUE(Eventually([&] { return IsWindowEnabled(GetDlgItem(test, IDOK)) != FALSE; }));
      EXPECT_TRUE(IsWindowVisible(test));
      log = Text(test) + L" | " + Text(GetDlgItem(test, IDC_LOG));
      for (size_t at; (at = log.find(L"\r\n")) != std::wstring::npos;) log.replace(at, 2, L" | ");
      EXPECT_STREQ(Font(test, IDC_LOG).lfFaceName, L"Tahoma");
      EXPECT_EQ(Font(test, IDC_LOG).lfHeight, -11);  // 8.25 points
      if (row.picture) Keep(Capture(test), std::string("test-win32-") + row.picture);
      Click(test, IDOK);
      // Back in the configuration dialog, which the test left as it was.
      ASSERT_NE(DialogWith(GetWindowThreadProcessId(configuration, nullptr), IDC_DEVICE), nullptr);
      Click(configuration, IDCANCEL);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(log, row.log);
    EXPECT_EQ(sharedWith, row.sharedWith);
    EXPECT_EQ(disconnects, row.disconnects);
    EXPECT_EQ(form.okPressed, 0);
    EXPECT_STREQ(form.device, "Nowhere");
    EXPECT_EQ(form.openMode, row.openMode);
  }
}

}  // namespace

// Under Wine, on a virtual X server without a window manager: Wine draws the windows' captions
// itself only with Decorated=N, and with Managed=N it no longer waits two seconds for a window
// manager each time a window closes. Both are read when this process first shows a window. The
// close button's glyph is Marlett's, which Wine finds only in the prefix's own font folder unless
// it is added.
void PrepareWine() {
  if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) return;
  for (const wchar_t* setting : {L"Decorated", L"Managed"}) {
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", setting, REG_SZ, L"N",
                    2 * sizeof(wchar_t));
  }
  wchar_t data[MAX_PATH] = {};  // \??\Z:\usr\share\wine, say
  const DWORD length = GetEnvironmentVariableW(L"WINEDATADIR", data, MAX_PATH);
  if (length > 4 && length < MAX_PATH) {
    AddFontResourceExW((std::wstring(data + 4) + L"\\fonts\\marlett.ttf").c_str(), FR_PRIVATE,
                       nullptr);
  }
}

int main(int argc, char** argv) {
  PrepareWine();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
