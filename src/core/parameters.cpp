#include "core/error.h"
#include "core/log.h"
#include "tarsin/encoder.h"

namespace tarsin {

// Placeholder until the parameter parser lands.
void Encoder::Parameters(const std::string& text) noexcept {
  tarsin::WriteLog(*state_, "--> Set Parameters = \"" + text + "\"");
  ClearError(*state_);
  TagError(*state_, "Parameters");
  tarsin::WriteLog(*state_, "<-- Set Parameters");
}

std::string Encoder::Parameters() noexcept { return {}; }

}  // namespace tarsin
