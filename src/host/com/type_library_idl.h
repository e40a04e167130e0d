// SPDX-License-Identifier: Apache-2.0
// The type library's source (IDL), written from the late-bound rows, CError's fields and the
// public enumerations, so that a member added to the dispatch table joins the library with it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarsin::com {

struct Enumeration {
  std::string_view name;
  std::vector<std::pair<std::string_view, int32_t>> constants;
};

// Every enumeration of the public interface (tarsin/types.h), in its order.
const std::vector<Enumeration>& Enumerations();

std::string TypeLibraryIdl();

}  // namespace tarsin::com
