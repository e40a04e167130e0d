// SPDX-License-Identifier: Apache-2.0
#include "ui/reader_test.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tarsin::ui {
namespace {

constexpr uint32_t kNameSlack = 8;
constexpr uint32_t kMaxNamesLength = 65536;
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

enum class Form { Text, Version };

std::string ErrorText(const TarsinPcscCalls& pcsc, int32_t code) {
  char text[512] = {};
  pcsc.errorText(code, text, sizeof text);
  return text;
}

const std::string& ProtocolName(const TestTexts& texts, uint32_t protocol) {
  switch (protocol) {
    case 1:
      return texts.Text(Line::Protocol1);
    case 2:
      return texts.Text(Line::Protocol2);
    default:
      return texts.Text(Line::UnknownProtocol);
  }
}

std::string ReaderAttributeText(const TarsinPcscCalls& pcsc, const TestTexts& texts, intptr_t card,
                                Line line, uint32_t attrId, Form form) {
  uint32_t length = 0;
  pcsc.getAttrib(card, attrId, nullptr, &length);
  std::vector<uint8_t> buffer(std::min(length, kMaxAttributeBuffer - kAttributeSlack) +
                              kAttributeSlack);
  uint32_t filled = static_cast<uint32_t>(buffer.size());
  // An attribute the reader lacks leaves the buffer zero: an empty value.
  pcsc.getAttrib(card, attrId, buffer.data(), &filled);
  const auto* text = reinterpret_cast<const char*>(buffer.data());
  const std::string value =
      form == Form::Text ? std::string(text, strnlen(text, buffer.size())) : VersionText(buffer);
  return Fill(texts.Text(line), {value});
}

}  // namespace

std::vector<std::string> ReaderNames(const TarsinPcscCalls& pcsc, intptr_t context) {
  uint32_t length = 0;
  pcsc.listReaders(context, nullptr, &length);
  // A list that grew meanwhile is cut; one that cannot be read leaves the buffer empty.
  std::string names(std::min(length, kMaxNamesLength) + kNameSlack, '\0');
  uint32_t size = static_cast<uint32_t>(names.size());
  pcsc.listReaders(context, names.data(), &size);
  std::vector<std::string> result;
  for (size_t start = 0; start < names.size();) {
    const size_t end = std::min(names.find('\0', start), names.size());
    if (end > start) result.push_back(names.substr(start, end - start));
    start = end + 1;
  }
  return result;
}

std::string ReturnCodeText(int32_t code) {
  if (code >= 0) return std::to_string(code);
  char text[16];
  std::snprintf(text, sizeof text, "0x0%08X", static_cast<unsigned>(code));
  return text;
}

std::string VersionText(std::span<const uint8_t> value) {
  const auto byte = [&](size_t i) { return i < value.size() ? uint32_t{value[i]} : 0U; };
  return std::to_string(byte(0)) + "." + std::to_string(byte(1)) + "." +
         std::to_string(byte(2) + 256 * byte(3));
}

void RunReaderTest(TestFields& fields, const TarsinPcscCalls& pcsc, const TestTexts& texts,
                   const std::function<void(const std::string&)>& addLine) {
  addLine(texts.Text(Line::Start));
  addLine(Fill(texts.Text(Line::Opening), {fields.device, ProtocolName(texts, fields.protocol)}));
  if (fields.openMode == 0) fields.openMode = 1;

  intptr_t card = 0;
  uint32_t active = 0;
  const int32_t result =
      pcsc.connect(fields.hContext, fields.device.c_str(), static_cast<uint32_t>(fields.openMode),
                   fields.protocol, &card, &active);
  if (result != 0 && result != kRemovedCard) {
    addLine(Fill(texts.Text(Line::Error),
                 {ReturnCodeText(result), "Unable to open encoder: " + ErrorText(pcsc, result)}));
    addLine(texts.Text(Line::OpenFailed));
    addLine(texts.Text(Line::Failure));
    return;
  }
  const bool cardPresent = result == 0;
  addLine(Fill(texts.Text(Line::Open),
               {active == 1 || active == 2 ? ProtocolName(texts, active)
                                           : "\"" + std::to_string(active) + "\""}));
  if (cardPresent) {
    const auto attribute = [&](Line line, uint32_t attrId, Form form) {
      addLine(ReaderAttributeText(pcsc, texts, card, line, attrId, form));
    };
    attribute(Line::ReaderType, kAttrDeviceFriendlyName, Form::Text);
    addLine(texts.Text(Line::Card));
    attribute(Line::Vendor, kAttrVendorName, Form::Text);
    attribute(Line::Model, kAttrVendorIfdType, Form::Text);
    attribute(Line::Version, kAttrVendorIfdVersion, Form::Version);
    attribute(Line::SerialNumber, kAttrVendorIfdSerialNo, Form::Text);
  } else {
    addLine(Fill(texts.Text(Line::ReaderType), {fields.device}));
    addLine(texts.Text(Line::NoCard));
  }
  addLine(texts.Text(Line::Closing));
  if (cardPresent) pcsc.disconnect(card, kLeaveCard);
  addLine(texts.Text(Line::Success));
}

}  // namespace tarsin::ui
