// The LastError numbers each member can leave, by member name: what docs/members.md and the
// Python module's docstrings list. A member absent from the table leaves none.
// tests/automation/member_errors_test.cpp drives every member through the dispatch and fails on
// a number its row does not list.
#pragma once

#include <string_view>
#include <vector>

#include "core/error_catalogue.h"

namespace tarsin::automation {

// In catalogue order; empty for a member that never writes an error.
const std::vector<ErrorEntry>& ErrorsOf(std::string_view member);

}  // namespace tarsin::automation
