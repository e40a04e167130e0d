// SPDX-License-Identifier: Apache-2.0
#include "host/cli/script.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "core/ascii_text.h"
#include "core/numeric_text.h"

namespace tarsin::cli {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  return text;
}

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Splits at commas outside quotes and drops a trailing ' comment.
std::vector<std::string_view> SplitArguments(std::string_view text) {
  std::vector<std::string_view> parts;
  bool quoted = false;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      quoted = !quoted;  // a doubled quote toggles twice
    } else if (!quoted && c == ',') {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    } else if (!quoted && c == '\'') {
      text = text.substr(0, i);
      break;
    }
  }
  if (quoted) throw ScriptError("unterminated string");
  parts.push_back(text.substr(start));
  return parts;
}

}  // namespace

Variant ParseLiteral(std::string_view text) {
  text = Trim(text);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    std::string value;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
      if (text[i] == '"') {
        if (i + 2 < text.size() && text[i + 1] == '"') {
          ++i;
        } else {
          throw ScriptError("a quote inside a string must be doubled");
        }
      }
      value += text[i];
    }
    return Variant(std::move(value));
  }
  if (EqualsIgnoringCase(text, "True")) return Variant(true);
  if (EqualsIgnoringCase(text, "False")) return Variant(false);
  const std::string literal(text);
  if (const auto number = WholeNumber(literal)) {
    const bool hex = literal[0] == '&';
    const bool integral = hex || (literal.find_first_of(".eE") == std::string::npos &&
                                  *number >= std::numeric_limits<int32_t>::min() &&
                                  *number <= std::numeric_limits<int32_t>::max());
    if (integral) return Variant(static_cast<int32_t>(*number));
    if (std::isfinite(*number)) return Variant(*number);
  }
  throw ScriptError("cannot read the value: " + literal);
}

std::optional<ScriptCall> ParseScriptLine(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() == '\'') return std::nullopt;
  size_t nameEnd = 0;
  while (nameEnd < line.size() && IsNameChar(line[nameEnd])) ++nameEnd;
  if (nameEnd == 0) throw ScriptError("a line must start with a member name");
  ScriptCall call;
  call.member = std::string(line.substr(0, nameEnd));
  std::string_view rest = Trim(line.substr(nameEnd));
  if (!rest.empty() && rest.front() == '=') {
    call.propertyLet = true;
    rest.remove_prefix(1);
    const auto parts = SplitArguments(rest);
    if (parts.size() != 1 || Trim(parts[0]).empty()) {
      throw ScriptError("a property takes exactly one value");
    }
    call.args.emplace_back(ParseLiteral(parts[0]));
    return call;
  }
  if (rest.empty() || rest.front() == '\'') return call;
  if (!std::isspace(static_cast<unsigned char>(line[nameEnd]))) {
    throw ScriptError("a blank must separate the member name from its arguments");
  }
  for (std::string_view part : SplitArguments(rest)) {
    if (Trim(part).empty()) {
      call.args.emplace_back(std::nullopt);
    } else {
      call.args.emplace_back(ParseLiteral(part));
    }
  }
  // `Member 'comment` leaves one empty place: no arguments at all.
  if (call.args.size() == 1 && !call.args[0]) call.args.clear();
  return call;
}

ScriptCall CallFromWords(const std::vector<std::string>& words) {
  ScriptCall call{.member = words.empty() ? std::string() : words.front()};
  size_t first = 1;
  if (words.size() > 1 && words[1] == "=") {
    call.propertyLet = true;
    first = 2;
  }
  const automation::Member* member = nullptr;
  try {
    member = &ResolveMember(call);
  } catch (const ComError&) {
    // unknown: its words stay as they are, and the check names the member
  }
  for (size_t i = first; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word.empty()) {
      call.args.emplace_back(std::nullopt);
      continue;
    }
    const size_t place = i - first;
    const bool text = member && place < member->parameters.size() &&
                      member->parameters[place].type == ValueType::String;
    const bool quoted = word.size() >= 2 && word.front() == '"' && word.back() == '"';
    std::optional<Variant> value;
    if (!text || quoted) {
      try {
        value = ParseLiteral(word);
      } catch (const ScriptError&) {
        // not a literal: the word itself, which the parameter's coercion judges
      }
    }
    call.args.emplace_back(value ? std::move(*value) : Variant(word));
  }
  return call;
}

const automation::Member& ResolveMember(const ScriptCall& call) {
  const automation::Member& member = automation::FindMember(call.member, call.propertyLet);
  if (call.propertyLet && member.kind != automation::MemberKind::PropertyLet) {
    throw ComError(kDispMemberNotFound, call.member + " cannot be assigned");
  }
  return member;
}

std::optional<std::string> Refusal(const ScriptCall& call) {
  try {
    automation::Prepare(ResolveMember(call), call.args);
    return std::nullopt;
  } catch (const ComError& e) {
    return e.description();
  }
}

}  // namespace tarsin::cli
