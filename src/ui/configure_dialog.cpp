// SPDX-License-Identifier: Apache-2.0
#include "ui/configure_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/look.h"
#include "ui/reader_test.h"
#include "ui/test_dialog.h"
#include "ui/texts.h"

namespace tarsin::ui {

using namespace Qt::StringLiterals;

namespace {

QLabel* Label(const QString& name, const std::string& caption, QWidget& buddy, QWidget* parent) {
  auto* label = new QLabel(QString::fromStdString(caption), parent);
  label->setObjectName(name);
  label->setBuddy(&buddy);
  return label;
}

QPushButton* Button(const QString& name, const std::string& caption, QWidget* parent) {
  auto* button = new QPushButton(QString::fromStdString(caption), parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

ConfigureDialog::ConfigureDialog(ConfigurationFields& fields, const TarsinPcscCalls& pcsc,
                                 QWidget* parent)
    : QDialog(parent),
      fields_(fields),
      pcsc_(pcsc),
      cboDevice_(new QComboBox(this)),
      cboProtocol_(new QComboBox(this)) {
  const ConfigurationCaptions& captions = ConfigurationCaptionsIn(IsFrench(fields.language));
  setObjectName("frmConfigure");
  setFont(Tahoma(9));
  setWindowTitle(QString::fromStdString(captions.title));

  cboDevice_->setObjectName("cboDevice");
  cboDevice_->setEditable(true);  // a reader name may also be typed
  cboDevice_->setInsertPolicy(QComboBox::NoInsert);
  cboDevice_->setMinimumWidth(260);
  cboProtocol_->setObjectName("cboProtocol");
  PaintLightYellow(*cboDevice_);
  PaintLightYellow(*cboProtocol_);
  auto* cmdTest = Button("cmdTest", captions.test, this);
  cmdTest->setFont(Tahoma(8.25));
  auto* cmdCancel = Button("cmdCancel", captions.cancel, this);
  auto* cmdOK = Button("cmdOK", captions.ok, this);
  cmdOK->setDefault(true);
  auto* image = new QLabel(this);
  image->setObjectName("Image1");
  image->setPixmap(QPixmap(":/tarsin/logo.png"));
  image->setFixedSize(80, 42);

  auto* fieldsGrid = new QGridLayout;
  fieldsGrid->addWidget(image, 0, 0, Qt::AlignLeft | Qt::AlignTop);
  fieldsGrid->addWidget(Label("lblDevice", captions.device, *cboDevice_, this), 1, 0);
  fieldsGrid->addWidget(cboDevice_, 1, 1);
  fieldsGrid->addWidget(Label("lblProtocol", captions.protocol, *cboProtocol_, this), 2, 0);
  fieldsGrid->addWidget(cboProtocol_, 2, 1);
  fieldsGrid->setColumnStretch(1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cmdTest);
  buttons->addStretch();
  buttons->addWidget(cmdCancel);
  buttons->addWidget(cmdOK);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fieldsGrid);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  setTabOrder(cmdOK, cmdCancel);
  setTabOrder(cmdCancel, cmdTest);
  setTabOrder(cmdTest, cboProtocol_);
  setTabOrder(cboProtocol_, cboDevice_);
  cmdOK->setFocus();  // where the Windows dialog opens too
  connect(cmdOK, &QPushButton::clicked, this, &ConfigureDialog::Confirm);
  connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(cmdTest, &QPushButton::clicked, this, &ConfigureDialog::RunTest);

  // Loading: the unknown entry first and selected, then the readers; the current reader is
  // found without regard to case.
  cboDevice_->addItem(QString::fromStdString(captions.unknownDevice));
  cboDevice_->setCurrentIndex(0);
  cboProtocol_->addItems({u"T=0"_s, u"T=1"_s});
  for (const std::string& name : ReaderNames(pcsc_, fields.hContext)) {
    cboDevice_->addItem(QString::fromStdString(name));
  }
  for (int i = 0; i < cboDevice_->count(); ++i) {
    if (cboDevice_->itemText(i).compare(fields.device, Qt::CaseInsensitive) == 0) {
      cboDevice_->setCurrentIndex(i);
      break;
    }
  }
  cboProtocol_->setCurrentIndex(fields.protocol == 1 || fields.protocol == 2 ? fields.protocol - 1
                                                                             : -1);
}

void ConfigureDialog::Confirm() {
  fields_.device = cboDevice_->currentText();
  fields_.protocol = cboProtocol_->currentIndex() + 1;
  fields_.okPressed = true;
  accept();
}

void ConfigureDialog::RunTest() {
  // The values on the screen, not yet accepted.
  TestFields test{.language = fields_.language,
                  .device = cboDevice_->currentText().toStdString(),
                  .protocol = static_cast<uint8_t>(cboProtocol_->currentIndex() + 1),
                  .hContext = fields_.hContext,
                  .openMode = fields_.openMode};
  TestDialog dialog(test, pcsc_, this);
  dialog.exec();
}

}  // namespace tarsin::ui
