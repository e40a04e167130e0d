// Construction, destruction and the members of the core that only forward.
#include "tarsin/encoder.h"

#include "core/error.h"
#include "core/log.h"
#include "core/state.h"

namespace tarsin {


Encoder::Encoder() : state_(std::make_unique<EncoderState>()) {
  WriteLog("--> Constructor");
  state_->OpenMode = 1;
  state_->ForceReconnect = false;
  Parameters(
      "Encoding capabilities=Mifare Classic, Mifare Ultralight\r\n"
      "Device=<unknown>\r\n"
      "Protocol=1\r\n"
      "Force_Reconnect=False\r\n"
      "Open_Mode=1");
  state_->hContext = 0;
  state_->hCard = 0;
  ClearError(*state_);
  WriteLog("<-- Constructor");
}

Encoder::~Encoder() {
  WriteLog("--> Destructor");
  WriteLog("<-- Destructor");
}

std::shared_ptr<CError> Encoder::LastError() noexcept {
  try {
    LastErrorOf(*state_);
  } catch (...) {
  }
  return state_->lastError;
}

void Encoder::WriteLog(const std::string& sMessage) noexcept { tarsin::WriteLog(*state_, sMessage); }

}  // namespace tarsin
