// The dialogs' captions and the test's message table, in English and French.
#pragma once

#include <QString>

namespace tarsin::ui {

// French when the language text reads "francais" in any case; English otherwise.
bool IsFrench(const QString& language);

struct ConfigurationCaptions {
  QString title;
  QString unknownDevice;  // the reader box's first entry
  QString test;
  QString cancel;
  QString ok;
  QString device;
  QString protocol;
};
const ConfigurationCaptions& ConfigurationCaptionsIn(bool french);

// The lines of the test's log; "%1" and "%2" are filled in by the test.
enum class Line {
  Start,
  Opening,
  UnknownProtocol,
  Protocol1,
  Protocol2,
  OpenFailed,
  Open,
  Card,
  NoCard,
  ReaderType,
  Vendor,
  Model,
  Version,
  SerialNumber,
  Closing,
  Success,
  Failure,
  Error,
};

struct TestTexts {
  QString title;
  QString ok;
  QString Text(Line line) const;
  bool french = false;
};
const TestTexts& TestTextsIn(bool french);

}  // namespace tarsin::ui
