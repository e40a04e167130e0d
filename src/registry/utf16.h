// SPDX-License-Identifier: Apache-2.0
// UTF-16LE, the form in which .reg files written by Windows carry text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarsin::registry {

std::vector<uint8_t> Utf8ToUtf16Le(std::string_view text);
// An unpaired surrogate becomes U+FFFD; an odd last byte is dropped.
std::string Utf16LeToUtf8(const uint8_t* data, size_t size);

}  // namespace tarsin::registry
