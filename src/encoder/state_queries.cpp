// SPDX-License-Identifier: Apache-2.0
// What the host can ask about the encoder's state and the card in the field.
#include <fmt/format.h>

#include "core/error.h"
#include "core/failure.h"
#include "core/log.h"
#include "pcsc/reader_attributes.h"
#include "pcsc/session.h"
#include "pcsc/status_texts.h"
#include "tarsin/encoder.h"

namespace tarsin {

sceEncoderState Encoder::EncoderState() noexcept {
  const std::lock_guard call(*state_->calls);
  sceEncoderState result = sceReady;
  WriteLog("--> Get EncoderState");
  ClearError(*state_);
  RunStepOrGoOn([&] {
    if (state_->hContext == 0) {
      WriteLog("hContext = 0 ==> Encoder is closed");
      result = sceClosed;
    } else if (SelectCardInRange(*state_) == scesuccess) {
      WriteLog(
          "SelectCardInRange() returned okay ==> Encoder is opened and a card is under the "
          "antenna");
    } else if (static_cast<uint32_t>(LastErrorOf(*state_).Number) == errors::kNoCard.number) {
      WriteLog(
          "SelectCardInRange() returned RC_ERROR_ENCODER_EMPTY ==> Encoder is opened, but no "
          "card is under the antenna");
      result = sceOpened;
    } else {
      WriteLog("SelectCardInRange() returned " + SCardErrorText(LastErrorOf(*state_).Number) +
               " ==> Encoder should be opened and a card should be under the antenna");
    }
  });
  ClearError(*state_, "EncoderState");
  WriteLog("<-- Get EncoderState");
  return result;
}

std::string Encoder::ReaderType() {
  const std::lock_guard call(*state_->calls);
  WriteLog("--> Get ReaderType");
  ClearError(*state_);
  if (state_->hContext == 0) {
    WriteLog("hContext = 0 ==> Encoder is closed");
    SetError(*state_, errors::kEncoderClosed,
             {.lastDllError = 0, .comFunction = "ReaderType", .rdrCommand = "", .rdrRetCode = ""});
    // The one failure that reaches the host.
    throw ComError(static_cast<int32_t>(errors::kEncoderClosed.number),
                   std::string(errors::kEncoderClosed.description));
  }
  std::string result;
  RunStepOrGoOn([&] {
    if (state_->hCard != 0) {
      WriteLog("hContext <> 0, hCard <> 0 ==> Results can be returned from the encoder");
      const struct {
        const char* format;
        uint32_t attribute;
        int32_t decoding;
      } lines[] = {
          {"Device name: %1", kAttrDeviceFriendlyName, kDecodeText},
          {"Vendor name: %1", kAttrVendorName, kDecodeText},
          {"Type: %1", kAttrVendorIfdType, kDecodeText},
          {"Version: %1", kAttrVendorIfdVersion, kDecodeVersion},
          {"Serial number: %1", kAttrVendorIfdSerialNo, kDecodeText},
      };
      for (const auto& line : lines) {
        result += ReaderGetAttr(*state_, line.format, line.attribute, line.decoding) + "\r\n";
      }
    } else {
      WriteLog("hContext <> 0, hCard = 0 ==> Result can be found in Device info");
      result = state_->Device;
    }
  });
  ClearError(*state_, "ReaderType");
  WriteLog("<-- Get ReaderType");
  return result;
}

std::string Encoder::ATRString() noexcept {
  const std::lock_guard call(*state_->calls);
  WriteLog("--> Get ATRString");
  std::string result;
  RunStepOrGoOn([&] { result = state_->ATRString; });
  WriteLog("<-- Get ATRString");
  return result;
}

sceCardTypes Encoder::CardType() noexcept {
  const std::lock_guard call(*state_->calls);
  WriteLog("--> Get CardType");
  WriteLog(fmt::format("Card type is {}", state_->CardType));
  ClearError(*state_, "CardType");
  WriteLog("<-- Get CardType");
  return static_cast<sceCardTypes>(state_->CardType);
}

int32_t Encoder::SerialNumberLength() noexcept {
  const std::lock_guard call(*state_->calls);
  WriteLog("--> Get SerialNumberLength");
  WriteLog(fmt::format("Serial Number length is {}", state_->SerialNumberLength));
  WriteLog("<-- Get SerialNumberLength");
  return state_->SerialNumberLength;
}

}  // namespace tarsin
