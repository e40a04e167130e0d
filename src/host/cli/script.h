// One line of a tarsin-rf script: `Member arg, arg`, `Member = value` or `Member`.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tarsin/variant.h"

namespace tarsin::cli {

struct ScriptCall {
  std::string member;
  bool propertyLet = false;                  // `Member = value`
  std::vector<std::optional<Variant>> args;  // nullopt: left out (empty place between commas)
};

class ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// nullopt for a blank or comment line; ScriptError for a line that cannot be read.
std::optional<ScriptCall> ParseScriptLine(std::string_view line);

// One argument literal: "text" ("" for a quote), a number, &H hex, True or False.
Variant ParseLiteral(std::string_view text);

}  // namespace tarsin::cli
