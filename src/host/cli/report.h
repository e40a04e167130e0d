// SPDX-License-Identifier: Apache-2.0
// How the commands print: labelled fields, and the lines a run wrote to the component's log.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarsin {
struct CError;
class Encoder;
}  // namespace tarsin

namespace tarsin::cli {

// A text from a host, a card, a reader or the log as it may be shown on a terminal: UTF-8, with
// control characters (escape sequences among them) and the backslash written as \xHH and \\,
// so that a name can neither hide nor move anything on the screen.
std::string Shown(std::string_view text);

// Why a reader did not open, in words: an unknown reader, no card, or the step that failed with
// the resource manager's answer. Not yet escaped for showing.
std::string OpenFailure(const CError& error, std::string_view reader);

// The parameter text with `reader` as its device, in the CRLF form, so that a name holding ";"
// stays whole; the text as it is without a reader.
std::string WithReader(std::string_view parameters, const std::optional<std::string>& reader);

// The opened encoder's reader description (ReaderType), one line each in UTF-8; none when the
// encoder is closed after all.
std::vector<std::string> DescriptionLines(Encoder& encoder);

// The device a parameter text names, as the component reads it.
std::string DeviceOf(std::string_view parameters);

// Prints `text` line by line under one label, continuation lines aligned with the first.
void PrintField(std::string_view label, std::string_view text);

// The file's size, 0 when it does not exist: where the lines of a run will begin.
uintmax_t FileSize(const std::string& path);

// The log lines that follow `offset` (what this run wrote, unless another writer interleaved):
// the last `count` of them, and how many there were.
std::pair<std::deque<std::string>, size_t> LinesAfter(const std::string& path, uintmax_t offset,
                                                      size_t count);

void PrintLogTail(const std::string& path, uintmax_t offset, size_t count);

}  // namespace tarsin::cli
