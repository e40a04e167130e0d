// SPDX-License-Identifier: Apache-2.0
// Any text as a `tarsin-rf run` script, line by line. Checked: only ScriptError escapes, and
// every text or whole-number argument read, written back as a literal, reads the same.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/cli/script.h"

namespace {

using tarsin::Variant;
using tarsin::cli::ParseLiteral;

// The literal that writes `value`, or "" for kinds written in more than one way.
std::string Literal(const Variant& value) {
  if (value.kind() == Variant::Kind::Int32) return std::to_string(value.asInt64());
  if (!value.isString()) return {};
  std::string quoted = "\"";
  for (char c : value.asString()) quoted.append(c == '"' ? 2 : 1, c);
  return quoted + "\"";
}

void CheckLine(std::string_view line) {
  try {
    const auto call = tarsin::cli::ParseScriptLine(line);
    if (!call) return;
    for (const auto& argument : call->args) {
      if (!argument) continue;
      const std::string literal = Literal(*argument);
      if (!literal.empty() && !(ParseLiteral(literal) == *argument)) std::abort();
    }
  } catch (const tarsin::cli::ScriptError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  for (size_t end; (end = text.find('\n')) != std::string_view::npos; text.remove_prefix(end + 1))
    CheckLine(text.substr(0, end));
  CheckLine(text);
  return 0;
}
