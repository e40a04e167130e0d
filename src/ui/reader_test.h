// SPDX-License-Identifier: Apache-2.0
// What the dialogs do with the readers, apart from any toolkit: the configuration dialog's list of
// readers, and the test dialog's run, one log line a step.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "pcsc/dialog_abi.h"
#include "ui/texts.h"

namespace tarsin::ui {

struct TestFields {
  std::string language;
  std::string device;    // UTF-8
  uint8_t protocol = 0;  // PC/SC protocol bits: 1 T=0, 2 T=1
  intptr_t hContext = 0;
  int32_t openMode = 0;  // the share mode; 0 means exclusive
};

// The readers on `context`, in the order listed, without empty names; none when they cannot be
// listed.
std::vector<std::string> ReaderNames(const TarsinPcscCalls& pcsc, intptr_t context);

// The value of a PC/SC return code as the log shows it: a negative code (every PC/SC error) as
// "0x0" and eight upper-case hexadecimal digits, anything else in decimal.
std::string ReturnCodeText(int32_t code);
// A version attribute: b1.b2.(b3 + 256 b4) from its first four bytes, zeros where it is shorter.
std::string VersionText(std::span<const uint8_t> value);

// Connects to the reader, describes it and disconnects, handing each log line to `addLine` as soon
// as it is known. A share mode of 0 becomes 1 in `fields`.
void RunReaderTest(TestFields& fields, const TarsinPcscCalls& pcsc, const TestTexts& texts,
                   const std::function<void(const std::string&)>& addLine);

}  // namespace tarsin::ui
