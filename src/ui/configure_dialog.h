// SPDX-License-Identifier: Apache-2.0
// frmConfigure: the user chooses the reader and the protocol; the test button tries them first.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <string>

#include "pcsc/dialog_abi.h"

class QComboBox;

namespace tarsin::ui {

struct ConfigurationFields {
  std::string language;
  intptr_t hContext = 0;
  QString device;
  int32_t protocol = 0;  // PC/SC protocol bits: 1 T=0, 2 T=1
  int32_t openMode = 0;
  bool okPressed = false;
};

class ConfigureDialog : public QDialog {
 public:
  // Loads the dialog from `fields`; OK writes the choice back into them and sets okPressed,
  // anything else (Cancel, Escape, the window's frame) leaves them as they were.
  ConfigureDialog(ConfigurationFields& fields, const TarsinPcscCalls& pcsc,
                  QWidget* parent = nullptr);

 private:
  void Confirm();
  void RunTest();

  ConfigurationFields& fields_;
  const TarsinPcscCalls& pcsc_;
  QComboBox* cboDevice_;
  QComboBox* cboProtocol_;
};

}  // namespace tarsin::ui
