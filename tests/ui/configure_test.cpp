// SPDX-License-Identifier: Apache-2.0
// Configure and its dialog: what it shows in each language, what the answer does to the parameters.
#include <gmock/gmock.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QStringList>
#include <cstring>
#include <functional>
#include <thread>

#include "core/encoder_access.h"
#include "ui/dialog_fixture.h"

namespace tarsin::testing {
namespace {

QStringList Items(const QComboBox& box) {
  QStringList items;
  for (int i = 0; i < box.count(); ++i) items << box.itemText(i);
  return items;
}

// The title, the reader box's first entry, the buttons' and the labels' captions.
QString Captions(const QDialog& dialog) {
  QStringList captions{dialog.windowTitle(), Child<QComboBox>(dialog, "cboDevice").itemText(0)};
  for (const char* button : {"cmdTest", "cmdCancel", "cmdOK"})
    captions << Child<QPushButton>(dialog, button).text();
  for (const char* label : {"lblDevice", "lblProtocol"})
    captions << Child<QLabel>(dialog, label).text();
  return captions.join('|');
}

// What no language changes: the Tab order, the access keys' targets, picture, colours and font.
void CheckTheLook(const QDialog& dialog) {
  const QStringList tabOrder{"cmdOK", "cmdCancel", "cmdTest", "cboProtocol", "cboDevice"};
  QStringList visited;
  for (QWidget* widget = &Child(dialog, "cmdOK"); visited.size() < tabOrder.size();
       widget = widget->nextInFocusChain())
    if (tabOrder.contains(widget->objectName()) && !visited.contains(widget->objectName()))
      visited << widget->objectName();
  EXPECT_EQ(visited, tabOrder);
  EXPECT_EQ(Child<QLabel>(dialog, "lblDevice").buddy(), &Child(dialog, "cboDevice"));
  EXPECT_EQ(Child<QLabel>(dialog, "lblProtocol").buddy(), &Child(dialog, "cboProtocol"));
  EXPECT_TRUE(Child<QPushButton>(dialog, "cmdOK").isDefault());
  EXPECT_EQ(dialog.focusWidget(), &Child(dialog, "cmdOK"));
  EXPECT_EQ(Items(Child<QComboBox>(dialog, "cboProtocol")), QStringList({"T=0", "T=1"}));
  EXPECT_FALSE(Child<QLabel>(dialog, "Image1").pixmap().isNull());  // the picture was found
  for (const char* box : {"cboDevice", "cboProtocol"})
    EXPECT_EQ(Child(dialog, box).palette().color(QPalette::Base), QColor(255, 255, 192)) << box;
  EXPECT_EQ(dialog.font().family(), "Tahoma");
  EXPECT_TRUE(!QFile::exists("/usr/share/wine/fonts/tahoma.ttf") ||  // then the file was loaded
              QFontInfo(dialog.font()).family() == "Tahoma");
  EXPECT_EQ(QGuiApplication::platformName(), qgetenv("QT_QPA_PLATFORM"));  // as the test chose
}

TEST_F(DialogTest, ShowsItsCaptionsInEitherLanguage) {
  const char* english =
      "Tarsin RF encoder Configuration|-- Unknown --|&Test settings...|Cancel|"
      "OK|&Encoder:|&Protocol:";
  const char* french =
      "Configuration de l'encodeur Tarsin RF|-- Inconnu --|&Test encodeur...|"
      "Annuler|OK|&Encodeur :|&Protocole :";
  const std::pair<const char*, const char*> rows[] = {
      {"Francais", french}, {"fr", english}, {"", english}};
  for (const auto& row : rows) {
    Encoder encoder;
    const auto answer = [&](QDialog& dialog) {
      EXPECT_EQ(Captions(dialog), row.second) << row.first;
      EXPECT_EQ(Items(Child<QComboBox>(dialog, "cboDevice")),
                QStringList({QString(row.second).section('|', 1, 1), kReader, kSecondReader}));
      EXPECT_EQ(Child<QComboBox>(dialog, "cboDevice").currentIndex(), 0);  // not listed
      CheckTheLook(dialog);
      Click(dialog, "cmdCancel");
    };
    EXPECT_EQ(Configure(encoder, "device=nowhere", row.first, answer), sceCanceled);
  }
}

// The user's answer, and the encoder's parameters afterwards (the dialog never changes open mode).
TEST_F(DialogTest, TakesTheAnswerBackIntoTheEncoder) {
  const auto select = [](const char* box, int index) {
    return [=](QDialog& dialog) { Child<QComboBox>(dialog, box).setCurrentIndex(index); };
  };
  const auto type = [](QDialog& dialog) {
    Child<QComboBox>(dialog, "cboDevice").setEditText("Typed Reader");
  };
  const auto none = [](QDialog&) {};
  const struct {
    const char* device;
    int protocol;
    std::function<void(QDialog&)> change;
    const char* closing;  // the button, or nullptr for the window's frame
    sceReturnCode result;
    std::string deviceAfter;
    int protocolAfter;
  } rows[] = {
      {"tarsin VIRTUAL reader 0", 2, none, "cmdOK", scesuccess, kReader, 2},
      {"Nowhere", 1, none, "cmdOK", scesuccess, "-- Unknown --", 1},
      {kReader, 7, none, "cmdOK", scesuccess, kReader, 0},
      {kReader, 2, select("cboDevice", 2), "cmdOK", scesuccess, kSecondReader, 2},
      {kReader, 2, select("cboProtocol", 0), "cmdOK", scesuccess, kReader, 1},
      {kReader, 2, type, "cmdOK", scesuccess, "Typed Reader", 2},
      {"Nowhere", 2, select("cboDevice", 1), "cmdCancel", sceCanceled, "Nowhere", 2},
      {"Nowhere", 2, select("cboDevice", 1), nullptr, sceCanceled, "Nowhere", 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.device + std::string(" ") + (row.closing ? row.closing : "frame"));
    Encoder encoder;
    const std::string parameters = "device=" + std::string(row.device) +
                                   ";protocol=" + std::to_string(row.protocol) + ";open_mode=2";
    const auto answer = [&](QDialog& dialog) {
      row.change(dialog);
      row.closing ? Click(dialog, row.closing) : (void)dialog.close();
    };
    EXPECT_EQ(Configure(encoder, parameters, "", answer), row.result);
    EXPECT_EQ(encoder.LastError()->Number, 0u);
    EXPECT_EQ(encoder.LastError()->ComFunction, "Configure");
    EXPECT_NE(StateOf(encoder).hContext, 0);  // kept for the next connection, reader or not
    EXPECT_EQ(encoder.Parameters(),
              "Encoding capabilities=Mifare Classic, Mifare Ultralight, Mifare DESFire\r\nDevice=" +
                  row.deviceAfter + "\r\nProtocol=" + std::to_string(row.protocolAfter) +
                  "\r\nForce_Reconnect=0\r\nOpen_Mode=2");
  }
  // No context, no reader list: the dialog is not shown.
  provider_.Set("/nonexistent/libpcsclite.so.1");
  Encoder encoder;
  EXPECT_EQ(encoder.Configure(""), sceError);
  EXPECT_EQ(encoder.LastError()->Number, 53u);
  EXPECT_EQ(encoder.LastError()->ComFunction, "Configure");
}

// Only the thread that owns the windows shows the dialog, even after an OK; the caller carries on.
TEST_F(DialogTest, RefusesAThreadThatCannotOwnTheWindows) {
  Encoder encoder;
  const auto ok = [](QDialog& dialog) { Click(dialog, "cmdOK"); };
  ASSERT_EQ(Configure(encoder, "device=Nowhere;open_mode=2", "", ok), scesuccess);
  const size_t first = LogSize();
  sceReturnCode result = scesuccess;
  std::thread([&] { result = encoder.Configure(""); }).join();
  EXPECT_EQ(result, sceCanceled);
  EXPECT_EQ(LogLines(first),
            (std::vector<std::string>{
                Line(0, "--> Configure"),
                Line(1,
                     "Configure: the dialog cannot be shown: ActiveX component can't create "
                     "object: called from a thread other than the one that owns the user "
                     "interface"),
                Line(0, "<-- Configure")}));
}

// A display server of the test's own on a Unix socket: `answer` gets each connection (and its
// number, from 0) and writes what the server says before it is closed.
class FakeDisplay {
 public:
  using Answer = std::function<void(int client, int number)>;
  FakeDisplay(std::filesystem::path path, Answer answer) : path_(std::move(path)) {
    std::filesystem::create_directories(path_.parent_path());
    std::filesystem::remove(path_);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
    fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    EXPECT_EQ(::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(fd_, 8), 0);
    thread_ = std::thread([fd = fd_, answer = std::move(answer)] {
      for (int client, number = 0; (client = ::accept(fd, nullptr, nullptr)) >= 0; ++number) {
        answer(client, number);
        ::close(client);
      }
    });
  }
  ~FakeDisplay() {
    ::shutdown(fd_, SHUT_RDWR);  // ends the accept
    thread_.join();
    ::close(fd_);
    std::filesystem::remove(path_);
  }

  // Reads `size` bytes of the client's request.
  static std::vector<uint8_t> Read(int client, size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t got = 0; got < size;) {
      const ssize_t more = ::recv(client, bytes.data() + got, size - got, 0);
      if (more <= 0) return {};
      got += static_cast<size_t>(more);
    }
    return bytes;
  }
  static void Write(int client, const std::vector<uint8_t>& bytes) {
    EXPECT_EQ(::send(client, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
  }

 private:
  std::filesystem::path path_;
  int fd_ = -1;
  std::thread thread_;
};

// An X server that accepts the first connection (the display check's) and refuses every later
// one (Qt's own): Qt's xcb platform then fails inside Qt, which falls back to a windowless one.
void XServerOnce(int client, int number) {
  const std::vector<uint8_t> request = FakeDisplay::Read(client, 12);  // little-endian client
  if (request.size() < 12) return;
  const auto padded = [](size_t n) { return (n + 3) / 4 * 4; };
  FakeDisplay::Read(client, padded(request[6] | request[7] << 8) +
                                padded(request[8] | request[9] << 8));  // authorisation
  // Later ones fail, reason "busy" (one word).
  if (number > 0) return FakeDisplay::Write(client, {0, 4, 11, 0, 0, 0, 1, 0, 'b', 'u', 's', 'y'});
  // Success, protocol 11.0, 9 words: ids, no screen, no format, vendor "fake".
  FakeDisplay::Write(client, {1, 0,    11,   0,    0, 0,   9, 0, 0, 0, 0,   0,    0,    0,  32,
                              0, 0xFF, 0xFF, 0x1F, 0, 0,   0, 0, 0, 4, 0,   0xFF, 0xFF, 0,  0,
                              0, 0,    32,   32,   8, 255, 0, 0, 0, 0, 'f', 'a',  'k',  'e'});
}

// A Wayland socket whose registry has no global at all: Qt's Wayland platform would crash on it.
void WaylandWithoutGlobals(int client, int) {
  // get_registry (new 2) and sync (new 3): done on callback 3.
  if (FakeDisplay::Read(client, 24).size() == 24)
    FakeDisplay::Write(client, {3, 0, 0, 0, 0, 0, 12, 0, 1, 0, 0, 0});
}

// Where the dialog cannot be shown, Configure cancels and says why in the log; the host's
// process lives on (here tarsin-rf, which prints the outcome and the reason).
TEST_F(DialogTest, WithoutADisplayConfigureCancelsAndTheHostLivesOn) {
  using Environment = std::vector<std::pair<std::string, std::optional<std::string>>>;
  const std::string cannotCreate = "ActiveX component can't create object: ";
  const FakeDisplay x("/tmp/.X11-unix/X4711", XServerOnce);
  const std::filesystem::path wayland = log_.root() / "wayland-0";
  const FakeDisplay compositor(wayland, WaylandWithoutGlobals);
  const std::pair<Environment, std::string> rows[] = {
      {{{"DISPLAY", {}}, {"WAYLAND_DISPLAY", {}}, {"QT_QPA_PLATFORM", {}}},
       "no display (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are unset)"},
      {{{"DISPLAY", ":4242"}, {"QT_QPA_PLATFORM", "xcb"}},
       "the X server \":4242\" does not answer"},
      {{{"QT_QPA_PLATFORM", "nosuch;xcb"}, {"DISPLAY", {}}},
       "no Qt platform plugin \"nosuch\"; DISPLAY is unset"},
      // Platforms that end the process when their device is missing are asked first, or refused.
      {{{"QT_QPA_PLATFORM", "linuxfb:fb=/nonexistent/fb0"}},
       "the framebuffer \"/nonexistent/fb0\" cannot be opened"},
      {{{"QT_QPA_PLATFORM", "minimalegl"}},
       "the Qt platform \"minimalegl\" cannot be checked for a screen"},
      // Qt fails after the check: its fallback, a windowless platform, is refused, not waited on.
      {{{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ":4711"}},
       "the Qt platform \"xcb\" could not be started"},
      // A compositor Qt would crash on is asked first.
      {{{"QT_QPA_PLATFORM", "wayland"}, {"WAYLAND_DISPLAY", wayland.string()}},
       "the Wayland display \"" + wayland.string() + "\" offers no wl_compositor"},
      // Nobody could answer a dialog there: no waiting for ever.
      {{{"QT_QPA_PLATFORM", "minimal;offscreen"}},
       "the Qt platform \"minimal\" shows no window; the Qt platform \"offscreen\" shows no "
       "window"},
  };
  for (const auto& [settings, reason] : rows) {
    std::vector<std::unique_ptr<ScopedEnvironment>> environment;
    for (const auto& [name, value] : settings)
      environment.push_back(std::make_unique<ScopedEnvironment>(name, value));
    const auto output = log_.root() / "output.txt";
    // A dialog that nobody can answer would wait for ever: cut short, it fails the row.
    const std::string command = "timeout 20 " + std::string(TARSIN_TEST_CLI) +
                                " configure --virtual -p 'device=" + kReader +
                                ";protocol=2;open_mode=2' > '" + output.string() + "'";
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 1) << reason;
    // The reason, then the parameters as they were.
    EXPECT_THAT(
        FileContent(output),
        ::testing::HasSubstr("  Result       canceled\n  Dialog       " + cannotCreate + reason +
                             "\n  Parameters   Encoding capabilities=Mifare Classic, "
                             "Mifare Ultralight, Mifare DESFire\n               Device=" +
                             kReader + "\n"));
  }
}

}  // namespace
}  // namespace tarsin::testing
