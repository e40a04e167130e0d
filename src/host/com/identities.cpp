// SPDX-License-Identifier: Apache-2.0
#include "host/com/identities.h"

#include <fmt/format.h>

namespace tarsin::com {

std::string GuidText(const GUID& guid) {
  const unsigned char* b = guid.Data4;
  return fmt::format("{:08X}-{:04X}-{:04X}-{:02X}{:02X}-{:02X}{:02X}{:02X}{:02X}{:02X}{:02X}",
                     guid.Data1, guid.Data2, guid.Data3, b[0], b[1], b[2], b[3], b[4], b[5], b[6],
                     b[7]);
}

}  // namespace tarsin::com
