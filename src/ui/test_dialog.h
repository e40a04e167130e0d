// frmTest: tries the reader and protocol shown in the configuration dialog, one log line a step.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>

#include "pcsc/dialog_abi.h"
#include "ui/texts.h"

class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace tarsin::ui {

struct TestFields {
  QString language;
  QString device;
  uint8_t protocol = 0;  // PC/SC protocol bits: 1 T=0, 2 T=1
  intptr_t hContext = 0;
  int32_t openMode = 0;  // the share mode; 0 means exclusive
};

// The value of a PC/SC return code as the log shows it: a negative code (every PC/SC error) as
// "0x0" and eight upper-case hexadecimal digits, anything else in decimal.
QString ReturnCodeText(int32_t code);
// A version attribute: b1.b2.(b3 + 256 b4) from its first four bytes, zeros where it is shorter.
QString VersionText(const QByteArray& value);

class TestDialog : public QDialog {
 public:
  // The test starts one second after the dialog is shown; `fields` must outlive the dialog.
  TestDialog(TestFields& fields, const TarsinPcscCalls& pcsc, QWidget* parent = nullptr);

 protected:
  // Neither the frame nor Escape closes the dialog before the test has ended.
  void reject() override;

 private:
  enum class Form { Text, Version };

  void RunTest();
  void End();
  void AddLogLine(const QString& line);
  QString ReaderAttributeText(intptr_t card, Line line, uint32_t attrId, Form form) const;
  QString ProtocolName(uint32_t protocol) const;

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
