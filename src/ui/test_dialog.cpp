// SPDX-License-Identifier: Apache-2.0
#include "ui/test_dialog.h"

#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/look.h"

namespace tarsin::ui {

using namespace Qt::StringLiterals;

TestDialog::TestDialog(TestFields& fields, const TarsinPcscCalls& pcsc, QWidget* parent)
    : QDialog(parent),
      fields_(fields),
      pcsc_(pcsc),
      texts_(TestTextsIn(IsFrench(fields.language))),
      txtLog_(new QPlainTextEdit(this)),
      cmdOK_(new QPushButton(this)),
      tmrTest_(new QTimer(this)) {
  setObjectName("frmTest");
  setFont(Tahoma(8.25));
  setWindowTitle(QString::fromStdString(texts_.title));

  txtLog_->setObjectName("txtLog");
  txtLog_->setReadOnly(true);
  txtLog_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  txtLog_->setLineWrapMode(QPlainTextEdit::NoWrap);
  auto* line = new QFrame(this);
  line->setObjectName("linSeparator");
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  // The background shape behind the button row.
  auto* shape = new QFrame(this);
  shape->setObjectName("shpBackground");
  shape->setFrameShape(QFrame::StyledPanel);
  shape->setAutoFillBackground(true);
  shape->setBackgroundRole(QPalette::Midlight);
  cmdOK_->setObjectName("cmdOK");
  cmdOK_->setText(QString::fromStdString(texts_.ok));
  cmdOK_->setDefault(true);
  cmdOK_->setEnabled(false);
  connect(cmdOK_, &QPushButton::clicked, this, &QDialog::accept);

  auto* buttons = new QHBoxLayout(shape);
  buttons->addStretch();
  buttons->addWidget(cmdOK_);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(txtLog_, 1);
  layout->addWidget(line);
  layout->addWidget(shape);
  setFixedSize(440, 300);

  tmrTest_->setObjectName("tmrTest");
  tmrTest_->setInterval(1000);
  connect(tmrTest_, &QTimer::timeout, this, &TestDialog::RunTest);
  tmrTest_->start();
}

void TestDialog::reject() {
  if (ended_) QDialog::reject();
}

void TestDialog::RunTest() {
  tmrTest_->stop();
  log_.clear();
  txtLog_->clear();
  RunReaderTest(fields_, pcsc_, texts_,
                [this](const std::string& line) { AddLogLine(QString::fromStdString(line)); });
  ended_ = true;
  cmdOK_->setEnabled(true);
}

void TestDialog::AddLogLine(const QString& line) {
  log_ = log_.isEmpty() ? line : log_ + u"\r\n"_s + line;
  txtLog_->setPlainText(QString(log_).replace(u"\r\n"_s, u"\n"_s));
  txtLog_->moveCursor(QTextCursor::End);
  txtLog_->ensureCursorVisible();
  txtLog_->repaint();
  // Each line shows as soon as it is written, and the window can be moved meanwhile.
  QCoreApplication::processEvents();
}

}  // namespace tarsin::ui
