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
  QString title;
  QStringList log;
  QImage configuration;  // the two dialogs as they looked, the test's once it had ended
  QImage test;
};

class TestDialogTest : public DialogTest {
 protected:
  // Opens the test from the configuration dialog with the reader and protocol shown there, lets
  // it run, and cancels the configuration afterwards.
  TestRun RunTest(const std::string& language, const QString& device, int protocolIndex) {
    TestRun run;
    Encoder encoder;
    Configure(encoder, "open_mode=2", language, [&](QDialog& configuration) {
      Child<QComboBox>(configuration, "cboDevice").setEditText(device);
      Child<QComboBox>(configuration, "cboProtocol").setCurrentIndex(protocolIndex);
      WhenShown("frmTest", [&](QDialog& test) {
        auto& timer = Child<QTimer>(test, "tmrTest");
        auto& ok = Child<QPushButton>(test, "cmdOK");
        // Nothing runs, and nothing closes the dialog, before the timer's first tick.
        EXPECT_TRUE(timer.isActive() && timer.interval() == 1000 && !ok.isEnabled());
        test.close();
        EXPECT_TRUE(test.isVisible());
        timer.start(0);
        When([&ok] { return ok.isEnabled(); },
             [&] {
               run.title = test.windowTitle();
               run.log = Child<QPlainTextEdit>(test, "txtLog").toPlainText().split('\n');
               run.test = test.grab().toImage();
               ok.click();
             });
      });
      run.configuration = configuration.grab().toImage();
      Click(configuration, "cmdTest");
      Click(configuration, "cmdCancel");
    });
    return run;
  }
};

QString ErrorLine(const char* code, int32_t result) {
  return QString("Error %1: Unable to open encoder: %2")
      .arg(code, QString::fromStdString(SCardErrorText(result)));
}

TEST_F(TestDialogTest, LogsEachStepOfTheTest) {
  // The version attribute's bytes are 1, 0, 0, 200 (the reader file gives the number the
  // other way round): its last part exceeds a signed 16-bit number.
  auto reader = Reader(kReader, Classic1K());
  reader["ifdVersion"] = "200.0.1";
  readers_.WriteReaders({reader, Reader(kSecondReader, nullptr)});
  const QStringList success{"Closing the encoder...", "", "<< Successful test >>", ""};
  const QStringList failure{"Failed to open the encoder.", "", "<< Test failed >>", ""};
  const QString opening = "Opening encoder \"%1\", protocol %2...";

  EXPECT_EQ(RunTest("", kReader, 1).log,
            QStringList({"Starting the test.", opening.arg(kReader, "T=1"),
                         "Encoder open. Active protocol: T=1", "Encoder type: " + QString(kReader),
                         "Card available in the encoder.", "Vendor name: Tarsin",
                         "Type: Test reader", "Version: 1.0.51200", "Serial number: SN-42"}) +
                success);

  FailNextConnects(1, 0x80100069);  // no card in the field, as some readers answer
  EXPECT_EQ(
      RunTest("", kReader, 1).log,
      QStringList({"Starting the test.", opening.arg(kReader, "T=1"),
                   "Encoder open. Active protocol: \"0\"", "Encoder type: " + QString(kReader),
                   "No card available in the encoder."}) +
          success);

  EXPECT_EQ(RunTest("", kSecondReader, 0).log,
            QStringList({"Starting the test.", opening.arg(kSecondReader, "T=0"),
                         ErrorLine("0x08010000C", static_cast<int32_t>(0x8010000C))}) +
                failure);

  EXPECT_EQ(RunTest("", "Ghost", 1).log,
            QStringList({"Starting the test.", opening.arg("Ghost", "T=1"),
                         ErrorLine("0x080100009", static_cast<int32_t>(0x80100009))}) +
                failure);

  EXPECT_EQ(RunTest("", kReader, -1).log.mid(0, 2),
            QStringList({"Starting the test.", opening.arg(kReader, "unknown")}));
}

TEST_F(TestDialogTest, SpeaksFrench) {
  const TestRun card = RunTest("FRANCAIS", kReader, 1);
  EXPECT_EQ(card.title, "Test de l'encodeur Tarsin RF");
  EXPECT_EQ(card.log,
            QStringList({"Début du test.",
                         "Ouverture de l'encodeur \"" + QString(kReader) + "\", protocole T=1...",
                         "Ouvert. Protocole actif: T=1", "Type d'encodeur : " + QString(kReader),
                         "Carte présente dans l'encodeur.", "Fabricant: Tarsin",
                         "Type: Test reader", "Version: 44.1.513", "Numéro de série: SN-42",
                         "Fermeture de l'encodeur", "", "<< Test réussi >>", ""}));
  const TestRun empty = RunTest("francais", kSecondReader, 1);
  EXPECT_EQ(
      empty.log.mid(2),
      QStringList({"Erreur 0x08010000C : Unable to open encoder: " +
                       QString::fromStdString(SCardErrorText(static_cast<int32_t>(0x8010000C))),
                   "Impossible d'ouvrir l'encodeur.", "", "<< Echec du test >>", ""}));
  EXPECT_EQ(RunTest("", "Ghost", -1).title, "Tarsin RF encoder test");
}

// The pictures of the README; with TARSIN_RF_SCREENSHOTS naming a folder, they are written there.
TEST_F(TestDialogTest, Screenshots) {
  const char* folder = std::getenv("TARSIN_RF_SCREENSHOTS");
  for (const char* language : {"english", "francais"}) {
    const TestRun run = RunTest(language, kReader, 1);
    for (const auto& [name, picture] :
         {std::pair{"configure", run.configuration}, std::pair{"test", run.test}}) {
      EXPECT_GE(picture.width(), 300) << name;
      if (folder) {
        const QString file = QString("%1/%2-%3.png").arg(folder, name, QString(language).left(2));
        EXPECT_TRUE(picture.save(file)) << file.toStdString();
      }
    }
  }
}

}  // namespace
}  // namespace tarsin::testing
