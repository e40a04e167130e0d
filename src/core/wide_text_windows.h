// SPDX-License-Identifier: Apache-2.0
// UTF-8, the component's text inside, to and from UTF-16, the text of Windows' wide entry points.
// Only the Windows build includes this.
#pragma once

#include <string>
#include <string_view>

namespace tarsin {

// Embedded NULs are kept; ill-formed UTF-8 becomes U+FFFD.
std::wstring WideFromUtf8(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string Utf8FromWide(std::wstring_view text);

}  // namespace tarsin
