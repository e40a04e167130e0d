// SPDX-License-Identifier: Apache-2.0
#include <fmt/format.h>

#include "core/ansi_code_page.h"
#include "core/numeric_text.h"
#include "registry/dword.h"
#include "registry/reg_file.h"
#include "registry/utf16.h"

namespace tarsin::registry {
namespace {

constexpr std::string_view kVersion5Header = "Windows Registry Editor Version 5.00";
constexpr std::string_view kVersion4Header = "REGEDIT4";
constexpr std::string_view kBlanks = " \t";

std::string_view TrimmedLeft(std::string_view text) {
  const size_t first = text.find_first_not_of(kBlanks);
  return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

std::string_view Trimmed(std::string_view text) {
  text = TrimmedLeft(text);
  return text.substr(0, text.find_last_not_of(kBlanks) + 1);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

// The file as UTF-8 text; `ansi` tells whether it is the older single-byte form.
std::string DecodedText(std::string_view content) {
  if (content.starts_with("\xFF\xFE")) {
    return Utf16LeToUtf8(reinterpret_cast<const uint8_t*>(content.data()) + 2, content.size() - 2);
  }
  if (content.starts_with("\xEF\xBB\xBF")) return std::string(content.substr(3));
  if (StartsWithNoCase(TrimmedLeft(content), "regedit4")) {
    return AnsiToUtf8(std::vector<uint8_t>(content.begin(), content.end()));
  }
  return std::string(content);
}

class Parser {
 public:
  explicit Parser(std::string text) : text_(std::move(text)) {
    for (size_t start = 0; start <= text_.size();) {
      size_t end = text_.find('\n', start);
      if (end == std::string::npos) end = text_.size();
      std::string_view line(text_.data() + start, end - start);
      if (line.ends_with('\r')) line.remove_suffix(1);
      lines_.push_back(line);
      start = end + 1;
    }
  }

  RegFile Parse() {
    ReadHeader();
    RegFile file;
    for (++index_; index_ < lines_.size(); ++index_) {
      const std::string_view line = Trimmed(lines_[index_]);
      if (line.empty() || line.starts_with(';')) continue;
      if (line.starts_with('[')) {
        if (!line.ends_with(']') || line.size() < 3) Fail("a key name must stand in brackets");
        RegFileKey key;
        std::string_view name = line.substr(1, line.size() - 2);
        if (name.starts_with('-')) key.remove = true, name.remove_prefix(1);
        key.name = std::string(name);
        file.keys.push_back(std::move(key));
        continue;
      }
      if (file.keys.empty() || file.keys.back().remove) Fail("a value outside a key section");
      file.keys.back().values.push_back(ParseValue(line));
    }
    return file;
  }

 private:
  [[noreturn]] void Fail(std::string_view what) const {
    throw RegFileError(fmt::format("line {}: {}", index_ + 1, what));
  }

  void ReadHeader() {
    while (index_ < lines_.size() && Trimmed(lines_[index_]).empty()) ++index_;
    const std::string_view header = index_ < lines_.size() ? Trimmed(lines_[index_]) : "";
    if (header == kVersion4Header) {
      ansi_ = true;
    } else if (header != kVersion5Header) {
      Fail("not a registry file (the first line must be the editor's header)");
    }
  }

  // Reads a quoted string from the start of `text`; leaves `text` after the closing quote.
  std::string QuotedString(std::string_view& text) const {
    std::string out;
    for (size_t i = 1; i < text.size(); ++i) {
      if (text[i] == '"') {
        text.remove_prefix(i + 1);
        return out;
      }
      if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) {
        ++i;
      }
      out += text[i];
    }
    Fail("a quoted string without its closing quote");
  }

  RegFileValue ParseValue(std::string_view line) {
    RegFileValue entry;
    if (line.starts_with('@')) {
      line.remove_prefix(1);
    } else if (line.starts_with('"')) {
      entry.name = QuotedString(line);
    } else {
      Fail("a value name must be @ or a quoted string");
    }
    line = TrimmedLeft(line);
    if (!line.starts_with('=')) Fail("'=' expected after the value name");
    line = Trimmed(line.substr(1));
    if (line == "-") return entry;
    entry.value = ParseData(line);
    return entry;
  }

  RegValue ParseData(std::string_view data) {
    if (data.starts_with('"')) {
      std::string text = QuotedString(data);
      if (!Trimmed(data).empty()) Fail("text after the closing quote");
      text += '\0';
      return RegValue{REG_SZ, std::vector<uint8_t>(text.begin(), text.end())};
    }
    if (StartsWithNoCase(data, "dword:")) {
      data.remove_prefix(6);
      if (data.empty() || data.size() > 8) Fail("a dword needs one to eight hex digits");
      uint32_t number = 0;
      for (char c : data) {
        if (HexDigitValue(c) < 0) Fail("a dword needs one to eight hex digits");
        number = number << 4 | static_cast<uint32_t>(HexDigitValue(c));
      }
      return RegValue{REG_DWORD, DwordBytes(number)};
    }
    if (!StartsWithNoCase(data, "hex")) Fail("unknown data form");
    data.remove_prefix(3);
    uint32_t type = REG_BINARY;
    if (data.starts_with('(')) {
      const size_t close = data.find(')');
      if (close == std::string_view::npos || close == 1 || close > 9) Fail("bad hex(type)");
      type = 0;
      for (char c : data.substr(1, close - 1)) {
        if (HexDigitValue(c) < 0) Fail("bad hex(type)");
        type = type << 4 | static_cast<uint32_t>(HexDigitValue(c));
      }
      data.remove_prefix(close + 1);
    }
    if (!data.starts_with(':')) Fail("':' expected after hex");
    std::vector<uint8_t> bytes = HexList(data.substr(1));
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
      if (!ansi_ && bytes.size() % 2 != 0) Fail("UTF-16 text with an odd number of bytes");
      const std::string text =
          ansi_ ? AnsiToUtf8(bytes) : Utf16LeToUtf8(bytes.data(), bytes.size());
      bytes.assign(text.begin(), text.end());
    }
    return RegValue{type, std::move(bytes)};
  }

  // Comma-separated bytes; a trailing backslash continues the list on the next line.
  std::vector<uint8_t> HexList(std::string_view list) {
    std::vector<uint8_t> bytes;
    for (;;) {
      list = Trimmed(list);
      if (list.ends_with('\\')) {
        AppendBytes(list.substr(0, list.size() - 1), bytes);
        if (index_ + 1 >= lines_.size()) Fail("the file ends inside a continued line");
        ++index_;
        list = lines_[index_];
        continue;
      }
      AppendBytes(list, bytes);
      return bytes;
    }
  }

  void AppendBytes(std::string_view list, std::vector<uint8_t>& bytes) const {
    while (!(list = Trimmed(list)).empty()) {
      const size_t comma = list.find(',');
      const std::string_view token = Trimmed(list.substr(0, comma));
      if (token.empty() || token.size() > 2 || HexDigitValue(token[0]) < 0 ||
          (token.size() == 2 && HexDigitValue(token[1]) < 0)) {
        Fail("a byte must be one or two hex digits");
      }
      bytes.push_back(static_cast<uint8_t>(token.size() == 1 ? HexDigitValue(token[0])
                                                             : HexDigitValue(token[0]) << 4 |
                                                                   HexDigitValue(token[1])));
      if (comma == std::string_view::npos) break;
      list.remove_prefix(comma + 1);
    }
  }

  std::string text_;
  std::vector<std::string_view> lines_;
  size_t index_ = 0;
  bool ansi_ = false;
};

}  // namespace

RegFile ParseRegFile(std::string_view content) {
  return Parser(DecodedText(content)).Parse();
}

}  // namespace tarsin::registry
