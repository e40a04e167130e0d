// SPDX-License-Identifier: Apache-2.0
// The text form of a variant, shared by command placeholders and late-bound coercion.
#pragma once

#include <optional>
#include <string>

#include "tarsin/variant.h"

namespace tarsin {

// Text as it is, numbers in decimal (whole doubles without a fraction), booleans "True"/"False",
// nothing for empty values; nullopt for a value without a text form (arrays).
std::optional<std::string> ElementText(const Variant& element);

}  // namespace tarsin
