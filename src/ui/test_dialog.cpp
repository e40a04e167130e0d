#include "ui/test_dialog.h"

#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/look.h"

namespace tarsin::ui {

using namespace Qt::StringLiterals;

namespace {

constexpr int32_t kRemovedCard = static_cast<int32_t>(0x80100069);  // no card in the field
constexpr uint32_t kLeaveCard = 0;
constexpr uint32_t kAttrDeviceFriendlyName = 0x7FFF0003;
constexpr uint32_t kAttrVendorName = 0x00010100;
constexpr uint32_t kAttrVendorIfdType = 0x00010101;
constexpr uint32_t kAttrVendorIfdVersion = 0x00010102;
constexpr uint32_t kAttrVendorIfdSerialNo = 0x00010103;
// The client library refuses attribute buffers above this size.
constexpr uint32_t kMaxAttributeBuffer = 264;
constexpr uint32_t kAttributeSlack = 8;

QString ErrorText(const TarsinPcscCalls& pcsc, int32_t code) {
  char text[512] = {};
  pcsc.errorText(code, text, sizeof text);
  return QString::fromUtf8(text);
}

}  // namespace

QString ReturnCodeText(int32_t code) {
  if (code >= 0) return QString::number(code);
  return u"0x0"_s +
         QString::number(static_cast<uint32_t>(code), 16).toUpper().rightJustified(8, u'0');
}

QString VersionText(const QByteArray& value) {
  const auto byte = [&](qsizetype i) {
    return i < value.size() ? static_cast<uint32_t>(static_cast<uint8_t>(value[i])) : 0U;
  };
  return QStringLiteral("%1.%2.%3").arg(byte(0)).arg(byte(1)).arg(byte(2) + 256 * byte(3));
}

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
  setWindowTitle(texts_.title);

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
  cmdOK_->setText(texts_.ok);
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

QString TestDialog::ProtocolName(uint32_t protocol) const {
  switch (protocol) {
    case 1:
      return texts_.Text(Line::Protocol1);
    case 2:
      return texts_.Text(Line::Protocol2);
    default:
      return texts_.Text(Line::UnknownProtocol);
  }
}

void TestDialog::RunTest() {
  tmrTest_->stop();
  log_.clear();
  txtLog_->clear();
  AddLogLine(texts_.Text(Line::Start));
  AddLogLine(texts_.Text(Line::Opening).arg(fields_.device, ProtocolName(fields_.protocol)));
  if (fields_.openMode == 0) fields_.openMode = 1;

  intptr_t card = 0;
  uint32_t active = 0;
  const int32_t result =
      pcsc_.connect(fields_.hContext, fields_.device.toUtf8().constData(),
                    static_cast<uint32_t>(fields_.openMode), fields_.protocol, &card, &active);
  if (result != 0 && result != kRemovedCard) {
    AddLogLine(
        texts_.Text(Line::Error)
            .arg(ReturnCodeText(result), u"Unable to open encoder: "_s + ErrorText(pcsc_, result)));
    AddLogLine(texts_.Text(Line::OpenFailed));
    AddLogLine(texts_.Text(Line::Failure));
    End();
    return;
  }
  const bool cardPresent = result == 0;
  AddLogLine(texts_.Text(Line::Open)
                 .arg(active == 1 || active == 2 ? ProtocolName(active)
                                                 : u"\""_s + QString::number(active) + u"\""_s));
  if (cardPresent) {
    AddLogLine(ReaderAttributeText(card, Line::ReaderType, kAttrDeviceFriendlyName, Form::Text));
    AddLogLine(texts_.Text(Line::Card));
    AddLogLine(ReaderAttributeText(card, Line::Vendor, kAttrVendorName, Form::Text));
    AddLogLine(ReaderAttributeText(card, Line::Model, kAttrVendorIfdType, Form::Text));
    AddLogLine(ReaderAttributeText(card, Line::Version, kAttrVendorIfdVersion, Form::Version));
    AddLogLine(ReaderAttributeText(card, Line::SerialNumber, kAttrVendorIfdSerialNo, Form::Text));
  } else {
    AddLogLine(texts_.Text(Line::ReaderType).arg(fields_.device));
    AddLogLine(texts_.Text(Line::NoCard));
  }
  AddLogLine(texts_.Text(Line::Closing));
  if (cardPresent) pcsc_.disconnect(card, kLeaveCard);
  AddLogLine(texts_.Text(Line::Success));
  End();
}

void TestDialog::End() {
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

QString TestDialog::ReaderAttributeText(intptr_t card, Line line, uint32_t attrId,
                                        Form form) const {
  uint32_t length = 0;
  pcsc_.getAttrib(card, attrId, nullptr, &length);
  QByteArray buffer(std::min(length, kMaxAttributeBuffer - kAttributeSlack) + kAttributeSlack,
                    '\0');
  uint32_t filled = static_cast<uint32_t>(buffer.size());
  // An attribute the reader lacks leaves the buffer zero: an empty value.
  pcsc_.getAttrib(card, attrId, reinterpret_cast<uint8_t*>(buffer.data()), &filled);
  const QString value =
      form == Form::Text ? QString::fromUtf8(buffer.constData()) : VersionText(buffer);
  return texts_.Text(line).arg(value);
}

}  // namespace tarsin::ui
