// SPDX-License-Identifier: Apache-2.0
#include "pcsc/card_identification.h"

#include <fmt/chrono.h>

#include <charconv>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/numeric_text.h"
#include "registry/mregistry.h"

namespace tarsin {
namespace {

using registry::HKEY_LOCAL_MACHINE;

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

std::string_view Trimmed(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Table data as text: a DWORD such as "Add new cards" reads as its decimal digits.
std::string TextOf(const Variant& value) {
  if (value.isString()) return value.asString();
  if (value.isNumeric() && value.kind() != Variant::Kind::Double) {
    return std::to_string(value.asInt64());
  }
  return {};
}

bool AddNewCards() {
  const Variant flag =
      registry::GetRegistryValue(HKEY_LOCAL_MACHINE, kCardTypesKey, "Add new cards", int32_t{0});
  if (!flag.isString()) return flag.isNumeric() && TextOf(flag) != "0";
  // A text counts when it reads as a number; anything else leaves recording off.
  const std::string_view text = Trimmed(flag.asString());
  double number = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  return error == std::errc() && end == text.data() + text.size() && number != 0;
}

std::vector<std::string_view> Fields(std::string_view data) {
  std::vector<std::string_view> fields;
  for (size_t start = 0;;) {
    const size_t end = data.find(';', start);
    fields.push_back(data.substr(start, end - start));
    if (end == std::string_view::npos) return fields;
    start = end + 1;
  }
}

// The field's leading hexadecimal digits; 0 when it starts with none.
int32_t LeadingHex(std::string_view field) {
  uint32_t number = 0;
  for (char c : field) {
    const int digit = HexDigitValue(c);
    if (digit < 0) break;
    number = number * 16 + static_cast<uint32_t>(digit);
  }
  return static_cast<int32_t>(number);
}

struct Match {
  int32_t cardType;
  int32_t serialNumberLength;
};

// Walks the table in the registry's order. Clears `addNew` when the ATR was recorded before.
std::optional<Match> LookUp(const std::string& atr, bool& addNew) {
  std::vector<std::string> names;
  const int32_t count = registry::GetRegistryValueNames(HKEY_LOCAL_MACHINE, kCardTypesKey, names);
  for (int32_t index = 1; index <= count; ++index) {
    const std::string data = TextOf(registry::GetRegistryValue(
        HKEY_LOCAL_MACHINE, kCardTypesKey, names[static_cast<size_t>(index)], std::string()));
    const std::vector<std::string_view> fields = Fields(data);
    if (fields.size() == 1 && UpperCase(fields[0]) == atr) {
      addNew = false;
    } else if (fields.size() == 3 && !fields[1].empty() &&
               atr.find(UpperCase(fields[1])) != std::string::npos) {
      return Match{LeadingHex(fields[0]), LeadingHex(fields[2])};
    }
  }
  return std::nullopt;
}

void RecordUnknown(const std::string& atr) {
  const std::string name =
      fmt::format("Unknown ({:%Y-%m-%d %H:%M:%S})", fmt::localtime(std::time(nullptr)));
  // Two unknown cards within one second must both be recorded, hence a value that never
  // replaces another.
  registry::AddRegistryText(HKEY_LOCAL_MACHINE, kCardTypesKey, name, atr);
}

}  // namespace

void LetATRString(EncoderState& state, std::string_view atr) noexcept {
  WriteLog(state, "--> Let ATRString");
  try {
    state.ATRString = UpperCase(Trimmed(atr));
    state.CardType = sceUnknownType;
    if (state.ATRString.empty()) {
      state.SerialNumberLength = -1;
    } else {
      // Read only for a card: SelectCardInRange clears the ATR at every call.
      bool addNew = AddNewCards();
      if (auto match = LookUp(state.ATRString, addNew)) {
        state.CardType = match->cardType;
        state.SerialNumberLength = match->serialNumberLength;
      }
      if (state.CardType == sceUnknownType && addNew) RecordUnknown(state.ATRString);
    }
  } catch (...) {
    // The identification never fails the operation that presented the card.
  }
  WriteLog(state, "<-- Let ATRString");
}

sceCardTypes CardTypeOf(std::string_view atr) noexcept {
  try {
    bool recordedBefore = false;
    if (auto match = LookUp(UpperCase(Trimmed(atr)), recordedBefore)) {
      return static_cast<sceCardTypes>(match->cardType);
    }
  } catch (...) {
    // an unreadable table identifies nothing
  }
  return sceUnknownType;
}

}  // namespace tarsin
