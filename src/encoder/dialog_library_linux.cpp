// SPDX-License-Identifier: Apache-2.0
#include "encoder/dialogs.h"

namespace tarsin {

// Found beside libtarsinrf.so through its run path, or on the library path.
std::string DefaultDialogLibrary() {
  return "libtarsinrf-dialogs.so";
}

}  // namespace tarsin
