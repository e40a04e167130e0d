// SPDX-License-Identifier: Apache-2.0
// Any text as the Parameters property. Checked: the entries split back into the text, and the
// parameters read back, set on a new encoder, read back the same.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/parameter_text.h"
#include "encoder_fixture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  tarsin::fuzz::Sandbox::Instance();
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto entries = tarsin::SplitParameterEntries(text);
  std::string joined;
  const std::string separator = text.find("\r\n") != std::string::npos ? "\r\n" : ";";
  for (size_t i = 0; i < entries.size(); ++i)
    joined.append(i == 0 ? "" : separator).append(entries[i]);
  if (joined != text) std::abort();

  tarsin::Encoder first;
  first.Parameters(text);
  const std::string shown = first.Parameters();
  tarsin::Encoder second;
  second.Parameters(shown);
  if (second.Parameters() != shown) std::abort();
  return 0;
}
