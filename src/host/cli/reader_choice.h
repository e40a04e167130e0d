// SPDX-License-Identifier: Apache-2.0
// Which PC/SC provider the command-line host uses: pcsc-lite by default, the virtual reader built
// with the project on request, or when no real reader is attached.
#pragma once

namespace tarsin::cli {

// Points the component at the virtual reader's provider; false when this build has none.
bool SelectVirtualReader();

// True when pcsc-lite's resource manager answers and lists at least one reader.
bool RealReaderAttached();

// The virtual reader when no provider was chosen and no real reader is attached. Returns true
// when the virtual reader is in use.
bool SelectVirtualReaderWhenNoneAttached();

}  // namespace tarsin::cli
