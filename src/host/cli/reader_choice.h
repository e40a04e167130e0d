// SPDX-License-Identifier: Apache-2.0
// Which PC/SC provider the command-line host uses: pcsc-lite by default, the virtual reader built
// with the project on request, or when no real reader is attached.
#pragma once

namespace tarsin::cli {

// Points the component at the virtual reader's provider. False, said on standard error, when this
// build has none or the process already uses another PC/SC library.
bool SelectVirtualReader();

// True when pcsc-lite's resource manager answers and lists at least one reader. The process's
// PC/SC library stays unchosen.
bool RealReaderAttached();

// The virtual reader when the environment names no provider and no real reader is attached.
enum class AutomaticChoice { Named, Virtual, Refused };
AutomaticChoice SelectVirtualReaderWhenNoneAttached();

}  // namespace tarsin::cli
