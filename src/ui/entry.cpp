// SPDX-License-Identifier: Apache-2.0
// The library's one entry point: the configuration dialog, shown modally on the caller's thread.
//
// The dialogs need a QApplication. A host that has one keeps it, and only the thread that owns
// it may show the dialog. A host without one gets one on the first call, on the calling thread,
// kept for the life of the process (Qt allows one per process and none after it has gone); that
// thread alone may show the dialog from then on. Before creating it, the display is checked, so
// that no display never ends the host's process.
#include <QApplication>
#include <QThread>
#include <algorithm>
#include <cstring>
#include <exception>
#include <string>

#include "pcsc/dialog_abi.h"
#include "ui/configure_dialog.h"
#include "ui/display.h"

namespace tarsin::ui {
namespace {

// The application this library created, and why it cannot show windows when its platform did
// not start (empty when it did).
QCoreApplication* ownApplication = nullptr;
std::string ownApplicationObstacle;

// Creates the application when there is none; false, with the reason, when this thread cannot
// show windows.
bool ApplicationForThisThread(std::string& reason) {
  if (QCoreApplication* existing = QCoreApplication::instance()) {
    if (!qobject_cast<QApplication*>(existing)) {
      reason = "the host's application object cannot show windows";
      return false;
    }
    if (existing == ownApplication && !ownApplicationObstacle.empty()) {
      reason = ownApplicationObstacle;
      return false;
    }
    if (existing->thread() != QThread::currentThread()) {
      reason = "called from a thread other than the one that owns the user interface";
      return false;
    }
    return true;
  }
  const std::optional<std::string> platform = UsablePlatform(reason);
  if (!platform) return false;
  // Qt keeps references to the arguments for the application's life.
  static std::string platformArgument;
  static char name[] = "tarsinrf-dialogs";
  static char option[] = "-platform";
  static char* argv[] = {name, option, nullptr, nullptr};
  static int argc = 3;
  // Qt ends the process when no platform of its list starts, as when a display that answered
  // the check refuses Qt's own connection; a windowless platform after it always starts.
  const std::string key = platform->substr(0, platform->find(':'));
  const std::optional<std::string> fallback = WindowlessPlatform();
  platformArgument = *platform + (fallback ? ";" + *fallback : "");
  argv[2] = platformArgument.data();
  ownApplication = new QApplication(argc, argv);  // never deleted: see above
  if (QGuiApplication::platformName().toStdString() != key) {
    ownApplicationObstacle = "the Qt platform \"" + key + "\" could not be started";
  } else if (QGuiApplication::primaryScreen() == nullptr) {
    // Qt ends the process on the first window of a platform without a screen.
    ownApplicationObstacle = "the Qt platform \"" + key + "\" has no screen";
  }
  if (!ownApplicationObstacle.empty()) {
    reason = ownApplicationObstacle;
    return false;
  }
  return true;
}

void SetReason(TarsinConfigurationForm& form, const std::string& reason) {
  const size_t length = std::min(reason.size(), sizeof form.reason - 1);
  std::memcpy(form.reason, reason.data(), length);
  form.reason[length] = '\0';
}

int32_t ShowConfiguration(TarsinConfigurationForm& form) {
  std::string reason;
  if (!form.pcsc) reason = "no resource-manager calls were given";
  if (!reason.empty() || !ApplicationForThisThread(reason)) {
    SetReason(form, reason);
    return 1;
  }
  // Fresh fields each time: closing by the window's frame answers no, whatever the last use did.
  ConfigurationFields fields{
      .language = form.language ? form.language : "",
      .hContext = form.hContext,
      .device = QString::fromUtf8(form.device,
                                  static_cast<qsizetype>(strnlen(form.device, sizeof form.device))),
      .protocol = form.protocol,
      .openMode = form.openMode,
  };
  {
    ConfigureDialog dialog(fields, *form.pcsc);
    dialog.exec();
  }
  if (fields.okPressed) {
    const QByteArray device = fields.device.toUtf8();
    const size_t length = std::min(static_cast<size_t>(device.size()), sizeof form.device - 1);
    std::memcpy(form.device, device.constData(), length);
    form.device[length] = '\0';
    form.protocol = fields.protocol;
    form.openMode = fields.openMode;
  }
  form.okPressed = fields.okPressed ? 1 : 0;
  return 0;
}

}  // namespace
}  // namespace tarsin::ui

extern "C" __attribute__((visibility("default"))) int32_t tarsin_show_configuration(
    TarsinConfigurationForm* form) noexcept {
  if (!form) return 1;
  try {
    return tarsin::ui::ShowConfiguration(*form);
  } catch (const std::exception& e) {
    tarsin::ui::SetReason(*form, e.what());
  } catch (...) {
    tarsin::ui::SetReason(*form, "unexpected failure");
  }
  return 1;
}
