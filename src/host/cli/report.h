// How the commands print: labelled fields, and the lines a run wrote to the component's log.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <utility>

namespace tarsin::cli {

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
