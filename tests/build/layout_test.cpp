// SPDX-License-Identifier: Apache-2.0
// The tree's shape: layers point down only; the shared library shows only the public interface.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using tarsin::testing::FileContent;

const fs::path kSource = TARSIN_TEST_SOURCE_DIR;

// A folder includes its own headers and lower layers', never a sibling's; tarsin/ is open to all.
// The dialogs (ui) are a library the component loads at run time: nothing includes them.
const std::map<std::string, int> kLayers = {
    {"core", 0},    {"crypto", 1}, {"registry", 1}, {"pcsc", 2},       {"mifare", 3},
    {"desfire", 3}, {"ui", 3},     {"encoder", 4},  {"automation", 5}, {"host", 6},
};

struct Include {
  fs::path file;
  int line;
  std::string target;
};

std::vector<Include> QuotedIncludes(const fs::path& root) {
  static const std::regex kInclude(R"(^\s*#\s*include\s*"([^"]+)\")");
  std::vector<Include> includes;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const auto extension = entry.path().extension();
    if (extension != ".h" && extension != ".cpp") continue;
    std::ifstream in(entry.path());
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
      std::smatch match;
      if (std::regex_search(text, match, kInclude))
        includes.push_back({fs::relative(entry.path(), kSource), number, match[1]});
    }
  }
  return includes;
}

std::string Describe(const Include& include) {
  return include.file.string() + ":" + std::to_string(include.line) + " includes \"" +
         include.target + "\"\n";
}

TEST(Layout, IncludesPointDownOnly) {
  std::string violations;
  for (const Include& include : QuotedIncludes(kSource / "src")) {
    const std::string from = *std::next(include.file.begin());  // the folder under src/
    const std::string to = include.target.substr(0, include.target.find('/'));
    // Every DESFire member reaches the card through the channel (the `channel*` files), which
    // rests on crypto, pcsc and core only: no card operation of its own folder, no registry.
    if (from == "desfire" && include.file.stem().string().starts_with("channel")) {
      if (to != "core" && to != "crypto" && to != "pcsc" &&
          !include.target.starts_with("desfire/channel"))
        violations += Describe(include);
      continue;
    }
    if (to == "tarsin" || to == from) continue;
    const auto fromLayer = kLayers.find(from);
    const auto toLayer = kLayers.find(to);
    if (to == "ui" || fromLayer == kLayers.end() || toLayer == kLayers.end() ||
        toLayer->second >= fromLayer->second)
      violations += Describe(include);
  }
  for (const Include& include : QuotedIncludes(kSource / "include"))
    if (!include.target.starts_with("tarsin/")) violations += Describe(include);
  // The simulator checks the component, so shares none of its code; its "desfire/" is sim/desfire/.
  for (const Include& include : QuotedIncludes(kSource / "sim")) {
    const bool simulatorOwn = fs::exists(kSource / "sim" / include.target) ||
                              fs::exists(kSource / include.file.parent_path() / include.target);
    const std::string to = include.target.substr(0, include.target.find('/'));
    if (to == "tarsin" || (!simulatorOwn && kLayers.contains(to))) violations += Describe(include);
  }
  EXPECT_EQ(violations, "");
}

// Sources are listed by name, so an unlisted file is silently never built. Listed: named as a whole
// word from its folder or above by a CMake file there, or from the root (${PROJECT_SOURCE_DIR}/).
TEST(Layout, EverySourceFileIsListedForTheBuild) {
  const auto named = [](const std::string& text, const std::string& path) {
    for (size_t at = text.find(path); at != std::string::npos; at = text.find(path, at + 1)) {
      const char before = at == 0 ? '\n' : text[at - 1];
      const char after = at + path.size() < text.size() ? text[at + path.size()] : '\n';
      if (std::string_view(" \n(\"").find(before) != std::string_view::npos &&
          std::string_view(" \n)\"").find(after) != std::string_view::npos)
        return true;
    }
    return false;
  };
  std::vector<std::pair<fs::path, std::string>> lists;  // folder from the root, text
  std::vector<fs::path> sources;
  for (const char* folder : {"src", "sim", "tests", "bench"})
    for (const auto& entry : fs::recursive_directory_iterator(kSource / folder)) {
      const fs::path path = fs::relative(entry.path(), kSource);
      const std::string name = path.filename().string();
      if (name == "CMakeLists.txt" || path.extension() == ".cmake")
        lists.emplace_back(path.parent_path(), FileContent(entry.path()));
      else if (path.extension() == ".cpp" || path.extension() == ".c")
        sources.push_back(path);
    }
  std::string unlisted;
  for (const fs::path& source : sources) {
    bool listed = false;
    for (const auto& [folder, text] : lists) {
      const std::string fromFolder = source.lexically_relative(folder).string();
      listed = listed || named(text, "${PROJECT_SOURCE_DIR}/" + source.string()) ||
               (!fromFolder.starts_with("..") && named(text, fromFolder));
    }
    if (!listed) unlisted += source.string() + "\n";
  }
  EXPECT_EQ(unlisted, "");
}

// name -> value of every enumeration constant "NAME = VALUE" in `text` after `prefix`.
std::map<std::string, long> EnumConstants(const std::string& text, const std::string& prefix) {
  const std::regex constant(prefix + R"((\w+) = (-?(?:0x[0-9A-Fa-f]+|\d+))(?=[,\s}]))");
  std::map<std::string, long> constants;
  for (std::sregex_iterator it(text.begin(), text.end(), constant), end; it != end; ++it)
    constants[(*it)[1]] = std::stol((*it)[2], nullptr, 0);
  return constants;
}

// C hosts see every enumeration of the C++ interface, with the same values.
TEST(Layout, CHeaderNamesEveryEnumerationConstant) {
  const auto cxx = EnumConstants(FileContent(kSource / "include/tarsin/types.h"), "\\b");
  EXPECT_GT(cxx.size(), 100u);
  EXPECT_EQ(EnumConstants(FileContent(kSource / "include/tarsin/c_enums.h"), "TARSIN_"), cxx);
}

// Every member is defined in the facade (src/encoder/), and every member that reaches the encoder's
// state holds the encoder's lock first, so that calls from several threads are made one at a time.
TEST(Layout, EveryMemberLivesInTheFacadeAndTakesTheEncodersLock) {
  static const std::regex kMember(R"(\bEncoder::(\w+)\([^{;]*\)[^{;]*\{\n([^\n]*))");
  std::string unlocked;
  for (const auto& entry : fs::recursive_directory_iterator(kSource / "src")) {
    if (entry.path().extension() != ".cpp") continue;
    const std::string text = FileContent(entry.path());
    for (std::sregex_iterator it(text.begin(), text.end(), kMember), end; it != end; ++it) {
      const std::string name = (*it)[1];
      const size_t body = static_cast<size_t>(it->position(2));
      const std::string rest = text.substr(body, text.find("\n}\n", body) - body);
      if (entry.path().parent_path().filename() != "encoder")
        unlocked += entry.path().filename().string() + ": " + name + " outside src/encoder/\n";
      const bool construction = name == "Encoder" || name == "~Encoder";
      if (!construction && rest.find("state_") != std::string::npos &&
          (*it)[2].str().find("const std::lock_guard call(*state_->calls);") == std::string::npos)
        unlocked += entry.path().filename().string() + ": " + name + "\n";
    }
  }
  EXPECT_EQ(unlocked, "");
}

// What a tool prints about the component's shared library, line by line.
std::vector<std::string> AboutSharedLibrary(const std::string& tool) {
  const std::string command = tool + " '" + TARSIN_TEST_SHARED_LIBRARY + "'";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  std::vector<std::string> lines;
  char buffer[4096];
  while (pipe && std::fgets(buffer, sizeof buffer, pipe.get()))
    lines.emplace_back(buffer, std::strcspn(buffer, "\n"));
  return lines;
}

// Every source file names its licence in its first lines (after a #! line).
TEST(Layout, EverySourceFileCarriesItsLicence) {
  static const std::regex kSourceName(R"(.*\.(cpp|h|c|py|sh|cmake)|CMakeLists\.txt)");
  std::string unlicensed;
  for (const char* folder :
       {"src", "include", "sim", "tests", "bench", "examples", "scripts", "cmake"})
    for (const auto& entry : fs::recursive_directory_iterator(kSource / folder)) {
      if (!entry.is_regular_file() ||
          !std::regex_match(entry.path().filename().string(), kSourceName))
        continue;
      std::ifstream in(entry.path());
      std::string head, line;
      for (int i = 0; i < 2 && std::getline(in, line); ++i) head += line;
      if (head.find("SPDX-License-Identifier: Apache-2.0") == std::string::npos)
        unlicensed += fs::relative(entry.path(), kSource).string() + "\n";
    }
  EXPECT_EQ(unlicensed, "");
}

// Only the public interface shows; the dialogs' toolkit comes with their library, never with ours.
TEST(Layout, SharedLibraryShowsOnlyThePublicInterface) {
  static const std::regex kPublic(
      R"(^(tarsin_[a-z0-9_]+$|tarsin::(Encoder|Variant|ReaderWatch)::|tarsin::KindName\(|(typeinfo|typeinfo name|vtable) for tarsin::ComError$))");
  std::string others;
  int encoderMembers = 0;
  for (const std::string& line : AboutSharedLibrary("nm -D --defined-only --demangle")) {
    // "address type name"; absolute symbols (the version node) have no address worth reading.
    const size_t name = line.find(' ', line.find(' ') + 1);
    if (name == std::string::npos || line[name - 1] == 'A') continue;
    const std::string symbol = line.substr(name + 1);
    if (symbol.starts_with("tarsin::Encoder::")) ++encoderMembers;
    if (!std::regex_search(symbol, kPublic)) others += symbol + "\n";
  }
  EXPECT_EQ(others, "");
  EXPECT_GT(encoderMembers, 30);  // the library was read at all
  std::string needed;
  for (const std::string& line : AboutSharedLibrary("readelf -d"))
    if (line.find("(NEEDED)") != std::string::npos) needed += line + "\n";
  EXPECT_NE(needed.find("libc.so"), std::string::npos);  // the library was read at all
  EXPECT_EQ(needed.find("Qt"), std::string::npos) << needed;
}

}  // namespace
