// The dialogs as a host meets them: an Encoder on the virtual readers whose Configure loads the
// dialog library built with the project. A modal dialog blocks the call that shows it, so the
// tests answer it from timers that run inside its event loop.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <string>

#include "support/virtual_reader.h"

namespace tarsin::testing {

inline constexpr const char* kSecondReader = "Tarsin Virtual Reader 1";

// Runs `action` once `ready` holds, polled from the event loop of whatever dialog is running.
// Before the dialog library has created the application, the polling starts with it.
inline void When(std::function<bool()> ready, std::function<void()> action) {
  static std::function<void()> pending;
  auto poll = [ready = std::move(ready), action = std::move(action)] {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, ready, action] {
      if (!ready()) return;
      timer->stop();
      timer->deleteLater();
      action();
    });
    timer->start();
  };
  if (QCoreApplication::instance()) return poll();
  pending = poll;
  qAddPreRoutine([] { std::exchange(pending, {})(); });
}

// The modal dialog named `name` (frmConfigure, frmTest) once it is shown.
inline void WhenShown(const QString& name, std::function<void(QDialog&)> action) {
  When(
      [name] {
        const QWidget* modal = QApplication::activeModalWidget();
        return modal && modal->objectName() == name;
      },
      [action = std::move(action)] {
        action(*qobject_cast<QDialog*>(QApplication::activeModalWidget()));
      });
}

template <class Widget = QWidget>
Widget& Child(const QDialog& dialog, const char* name) {
  auto* child = dialog.findChild<Widget*>(name);
  if (!child) throw std::runtime_error(std::string("no ") + name);
  return *child;
}

inline void Click(const QDialog& dialog, const char* button) {
  Child<QPushButton>(dialog, button).click();
}

// Two readers: the first with a card, the second empty.
class DialogTest : public VirtualReaderTest {
 protected:
  void SetUp() override {
    VirtualReaderTest::SetUp();
    readers_.WriteReaders({Reader(kReader, Classic1K()), Reader(kSecondReader, nullptr)});
  }

  // Configure on an encoder with `parameters`, the dialog answered by `answer`.
  sceReturnCode Configure(Encoder& encoder, const std::string& parameters,
                          const std::string& language, std::function<void(QDialog&)> answer) {
    encoder.Parameters(parameters);
    WhenShown("frmConfigure", std::move(answer));
    return encoder.Configure(language);
  }

  ScopedEnvironment dialogs_{"TARSIN_RF_DIALOG_LIBRARY", TARSIN_TEST_DIALOG_LIBRARY};
};

// The parameter text of an encoder with these settings, as Parameters reads it.
inline std::string ParametersOf(const std::string& device, int protocol, int openMode) {
  return "Encoding capabilities=Mifare Classic, Mifare Ultralight, Mifare DESFire\r\nDevice=" +
         device + "\r\nProtocol=" + std::to_string(protocol) +
         "\r\nForce_Reconnect=0\r\nOpen_Mode=" + std::to_string(openMode);
}

}  // namespace tarsin::testing
