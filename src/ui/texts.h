// SPDX-License-Identifier: Apache-2.0
// The dialogs' captions and the test's message table, in English and French: plain UTF-8, so
// that each toolkit's dialogs take them from this one table.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace tarsin::ui {

// French when the language text reads "francais" in any case; English otherwise.
bool IsFrench(std::string_view language);

struct ConfigurationCaptions {
  std::string title;
  std::string unknownDevice;  // the reader box's first entry
  std::string test;
  std::string cancel;
  std::string ok;
  std::string device;
  std::string protocol;
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
  std::string title;
  std::string ok;
  const std::string& Text(Line line) const;
  bool french = false;
};
const TestTexts& TestTextsIn(bool french);

// `pattern` with each "%1".."%9" replaced by that value, in one pass: a value that holds "%2"
// stays as it is.
std::string Fill(std::string_view pattern, std::initializer_list<std::string_view> values);

}  // namespace tarsin::ui
