// SPDX-License-Identifier: Apache-2.0
// The dialogs as a host meets them, Configure loading the library built here. A modal dialog blocks
// the call that shows it, so the tests answer it from timers inside its event loop.
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

// Runs `action` on modal dialog `name` (frmConfigure, frmTest) once shown and `ready`, polled from
// whatever dialog's event loop runs; from the application's start if the library has not made it.
inline void WhenShown(
    const QString& name, std::function<void(QDialog&)> action,
    std::function<bool(QDialog&)> ready = [](QDialog&) { return true; }) {
  static std::function<void()> pending;
  auto poll = [=] {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [=] {
      auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!modal || modal->objectName() != name || !ready(*modal)) return;
      timer->stop();
      timer->deleteLater();
      action(*modal);
    });
    timer->start();
  };
  if (QCoreApplication::instance()) return poll();
  pending = poll;
  qAddPreRoutine([] { std::exchange(pending, {})(); });
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
 public:
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

 protected:
  ScopedEnvironment dialogs_{"TARSIN_RF_DIALOG_LIBRARY", TARSIN_TEST_DIALOG_LIBRARY};
};

}  // namespace tarsin::testing
