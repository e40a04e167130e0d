// SPDX-License-Identifier: Apache-2.0
// The LastError numbers each member can leave, by member name: what docs/members.md and the
// Python module's docstrings list. A member absent from the table leaves none.
// tests/automation/member_errors_test.cpp drives every member through the dispatch and fails on
// a number its row does not list.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/error_catalogue.h"

namespace tarsin::automation {

// In catalogue order; empty for a member that never writes an error.
const std::vector<ErrorEntry>& ErrorsOf(std::string_view member);

// An error number as the documentation writes it: the component's own in hex ("0x90010F01"),
// the run-time's in decimal ("53").
std::string ErrorNumberText(uint32_t number);
// The member's numbers joined by ", " ("" when none).
std::string ErrorNumbersText(std::string_view member);

}  // namespace tarsin::automation
