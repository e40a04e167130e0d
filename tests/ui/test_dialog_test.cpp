// SPDX-License-Identifier: Apache-2.0
// The test dialog, opened from the configuration dialog: its log for each outcome of the test.
#include <QImage>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstdlib>

#include "pcsc/status_texts.h"
#include "ui/dialog_fixture.h"

namespace tarsin::testing {
namespace {

struct TestRun {
  QStringList titleAndLog;
  QImage configuration, test;  // the two dialogs as they looked, the test's once it had ended
};

// Runs the test from the configuration dialog with that reader and protocol, then cancels it.
TestRun RunTest(DialogTest& fixture, const char* language, const QString& device,
                int protocolIndex) {
  TestRun run;
  Encoder encoder;
  fixture.Configure(encoder, "open_mode=2", language, [&](QDialog& configuration) {
    Child<QComboBox>(configuration, "cboDevice").setEditText(device);
    Child<QComboBox>(configuration, "cboProtocol").setCurrentIndex(protocolIndex);
    WhenShown("frmTest", [&](QDialog& test) {
      auto& timer = Child<QTimer>(test, "tmrTest");
      // Nothing runs, and nothing closes the dialog, before the timer's first tick.
      EXPECT_TRUE(timer.isActive() && timer.interval() == 1000 &&
                  !Child(test, "cmdOK").isEnabled());
      test.close();
      EXPECT_TRUE(test.isVisible());
      timer.start(0);
      const auto ended = [](QDialog& dialog) { return Child(dialog, "cmdOK").isEnabled(); };
      WhenShown(
          "frmTest",
          [&](QDialog& dialog) {
            run.titleAndLog = QStringList{dialog.windowTitle()} +
                              Child<QPlainTextEdit>(dialog, "txtLog").toPlainText().split('\n');
            run.test = dialog.grab().toImage();
            Click(dialog, "cmdOK");
          },
          ended);
    });
    run.configuration = configuration.grab().toImage();
    Click(configuration, "cmdTest");
    Click(configuration, "cmdCancel");
  });
  return run;
}

// One row a test, its title and log lines joined by " | "; with TARSIN_RF_SCREENSHOTS naming a
// folder, the rows with a picture name write the README's pictures there.
TEST_F(DialogTest, TheTestLogsEachStep) {
  // The version's last part exceeds a signed 16-bit number.
  auto reader = Reader(kReader, Classic1K());
  reader["ifdVersion"] = "1.0.51200";
  readers_.WriteReaders({reader, Reader(kSecondReader, nullptr)});
  const std::string first = kReader, second = kSecondReader;
  const std::string card =
      "Card available in the encoder. | Vendor name: Tarsin | Type: Test "
      "reader | Version: 1.0.51200 | Serial number: SN-42";
  const std::string success = " | Closing the encoder... |  | << Successful test >> | ";
  const std::string failure = " | Failed to open the encoder. |  | << Test failed >> | ";
  const std::string english = "Tarsin RF encoder test | Starting the test. | Opening encoder \"";
  const std::string french =
      "Test de l'encodeur Tarsin RF | Début du test. | Ouverture de "
      "l'encodeur \"";
  const struct {
    const char* language;
    std::string device;
    int protocolIndex;
    bool noCardAnswer;  // the reader answers the connection with 0x80100069
    std::string expected;
    const char* picture;
  } rows[] = {
      {"", first, 1, false,
       english + first +
           "\", protocol T=1... | Encoder open. Active protocol: T=1 | Encoder type: " + first +
           " | " + card + success,
       "en"},
      {"", first, 1, true,
       english + first +
           "\", protocol T=1... | Encoder open. Active protocol: \"0\" | Encoder type: " + first +
           " | No card available in the encoder." + success},
      {"", second, 0, false,
       english + second + "\", protocol T=0... | Error 0x08010000C: Unable to open encoder: " +
           SCardErrorText(static_cast<int32_t>(0x8010000C)) + failure},
      // Protocol 0, whose connection fails further on.
      {"", first, -1, false, english + first + "\", protocol unknown... | Error "},
      {"FRANCAIS", first, 1, false,
       french + first +
           "\", protocole T=1... | Ouvert. Protocole actif: T=1 | Type d'encodeur : " + first +
           " | Carte présente dans l'encodeur. | Fabricant: Tarsin | Type: Test reader | "
           "Version: 1.0.51200 | Numéro de série: SN-42 | Fermeture de l'encodeur |  | << Test "
           "réussi >> | ",
       "fr"},
  };
  const char* folder = std::getenv("TARSIN_RF_SCREENSHOTS");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.language + (" " + row.device));
    if (row.noCardAnswer) FailNextConnects(1, 0x80100069);
    const TestRun run =
        RunTest(*this, row.language, QString::fromStdString(row.device), row.protocolIndex);
    const std::string log = run.titleAndLog.join(" | ").toStdString();
    // The protocol 0 row ends where the error's code begins.
    EXPECT_EQ(row.expected.ends_with("Error ") ? log.substr(0, row.expected.size()) : log,
              row.expected);
    if (!row.picture) continue;
    for (const auto& [name, picture] :
         {std::pair{"configure", run.configuration}, std::pair{"test", run.test}}) {
      EXPECT_GE(picture.width(), 300) << name;
      const QString file = QString("%1/%2-%3.png").arg(folder, name, row.picture);
      EXPECT_TRUE(!folder || picture.save(file)) << file.toStdString();
    }
  }
}

}  // namespace
}  // namespace tarsin::testing
