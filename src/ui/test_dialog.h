// SPDX-License-Identifier: Apache-2.0
// frmTest: tries the reader and protocol shown in the configuration dialog, one log line a step.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>

#include "pcsc/dialog_abi.h"
#include "ui/reader_test.h"
#include "ui/texts.h"

class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace tarsin::ui {

class TestDialog : public QDialog {
 public:
  // The test starts one second after the dialog is shown; `fields` must outlive the dialog.
  TestDialog(TestFields& fields, const TarsinPcscCalls& pcsc, QWidget* parent = nullptr);

 protected:
  // Neither the frame nor Escape closes the dialog before the test has ended.
  void reject() override;

 private:
  void RunTest();
  void AddLogLine(const QString& line);

  TestFields& fields_;
  const TarsinPcscCalls& pcsc_;
  const TestTexts& texts_;
  QPlainTextEdit* txtLog_;
  QPushButton* cmdOK_;
  QTimer* tmrTest_;
  QString log_;  // the log's text, lines separated by CR LF
  bool ended_ = false;
};

}  // namespace tarsin::ui
