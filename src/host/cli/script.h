// SPDX-License-Identifier: Apache-2.0
// One line of a tarsin-rf script: `Member arg, arg`, `Member = value` or `Member`.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "automation/dispatch.h"
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

// `tarsin-rf call`'s words: the member (then `=` for a property written), one argument a word,
// an empty word for a left-out one. A word for a text parameter that is not in double quotes is
// that text as typed, so that a key such as 000000000000 is not read as the number 0.
ScriptCall CallFromWords(const std::vector<std::string>& words);

// The member the line calls, found as its call finds it; ComError when there is none.
const automation::Member& ResolveMember(const ScriptCall& call);

// Why the call would be refused before it reaches the component: an unknown member, a property
// that cannot be written, the argument count, a literal its parameter's coercion refuses.
// nullopt when it would be called.
std::optional<std::string> Refusal(const ScriptCall& call);

}  // namespace tarsin::cli
