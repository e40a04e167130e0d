// SPDX-License-Identifier: Apache-2.0
// tarsin-rf reg: query, add, delete, import and export registry values in the manner of
// Windows reg.exe, over this platform's registry files.
#include <fmt/format.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "host/cli/commands.h"
#include "registry/file_replace.h"
#include "registry/key_names.h"
#include "registry/reg_api.h"
#include "registry/reg_file_io.h"
#include "registry/value_text.h"

namespace tarsin::cli {
namespace {

using namespace tarsin::registry;

constexpr const char* kDone = "The operation completed successfully.";

struct RegOptions {
  std::string key;
  std::string valueName;
  bool defaultValue = false;  // /ve
  bool allValues = false;     // /va
  std::string type = "REG_SZ";
  std::string data;
  std::string separator = "\\0";
  bool force = false;
  std::vector<std::string> arguments;  // import and export take plain arguments
};

// A declined confirmation: nothing was changed, so the exit status is not 0.
constexpr int kCanceled = 1;
constexpr const char* kExitStatus =
    "Exit status: 0 when done, 1 when it failed or the confirmation was declined.";

// reg.exe's own text for a missing key or value, the system's text for any other code, and the
// code beside it.
std::string ErrorText(LSTATUS status) {
  if (status == ERROR_FILE_NOT_FOUND) {
    return "The system was unable to find the specified registry key or value.";
  }
  const std::string_view text = SystemMessage(status);
  return text.empty() ? fmt::format("The operation failed with error {}.", status)
                      : fmt::format("{} (error {})", text, status);
}

int Fail(const std::string& message) {
  fmt::print(stderr, "ERROR: {}\n", message);
  return 1;
}

int Fail(LSTATUS status) {
  return Fail(ErrorText(status));
}

int Canceled() {
  fmt::print("The operation was canceled by the user.\n");
  return kCanceled;
}

bool Confirm(const std::string& question) {
  fmt::print("{} ", question);
  std::fflush(stdout);
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

// "HKLM\Software\..." or "\\COMPUTER\HKLM\..."; remote computers are refused here with 53
// as everywhere on this platform.
std::optional<KeyName> KeyArgument(const std::string& text, LSTATUS& status) {
  std::string_view name = text;
  std::string computer;
  if (name.starts_with("\\\\")) {
    const size_t slash = name.find('\\', 2);
    computer = std::string(name.substr(0, slash));
    name = slash == std::string_view::npos ? std::string_view() : name.substr(slash + 1);
  }
  auto key = ParseKeyName(name);
  if (!key) {
    status = ERROR_INVALID_PARAMETER;
    return std::nullopt;
  }
  HKEY connected = 0;
  status = RegConnectRegistryA(computer, key->root, connected);
  if (status != ERROR_SUCCESS) return std::nullopt;
  return key;
}

int InvalidKey(LSTATUS status) {
  return status == ERROR_INVALID_PARAMETER ? Fail("Invalid key name.") : Fail(status);
}

void PrintValue(const std::string& name, const RegValue& value) {
  fmt::print("    {}    {}    {}\n", name.empty() ? "(Default)" : name, TypeName(value.type),
             DisplayData(value));
}

int RunQuery(const RegOptions& options) {
  LSTATUS status = ERROR_SUCCESS;
  const auto key = KeyArgument(options.key, status);
  if (!key) return InvalidKey(status);
  ScopedKey handle;
  if (status = RegOpenKeyExA(key->root, key->path, 0, KEY_READ, handle.out());
      status != ERROR_SUCCESS) {
    return Fail(status);
  }
  fmt::print("\n{}\n", FullKeyName(*key));
  if (!options.valueName.empty() || options.defaultValue) {
    RegValue value;
    if (status = RegQueryValueExA(handle.get(), options.valueName, value);
        status != ERROR_SUCCESS) {
      return Fail(status);
    }
    PrintValue(options.valueName, value);
    fmt::print("\n");
    return 0;
  }
  for (uint32_t index = 0;; ++index) {
    std::string name;
    RegValue value;
    if (RegEnumValueA(handle.get(), index, name, &value) != ERROR_SUCCESS) break;
    PrintValue(name, value);
  }
  fmt::print("\n");
  for (uint32_t index = 0;; ++index) {
    std::string name;
    if (RegEnumKeyExA(handle.get(), index, name) != ERROR_SUCCESS) break;
    fmt::print("{}\\{}\n", FullKeyName(*key), name);
  }
  return 0;
}

int RunAdd(const RegOptions& options) {
  LSTATUS status = ERROR_SUCCESS;
  const auto key = KeyArgument(options.key, status);
  if (!key) return InvalidKey(status);
  const auto type = TypeFromName(options.type);
  const auto value = type ? ValueFromText(*type, options.data, options.separator) : std::nullopt;
  if (!value) return Fail("Invalid syntax.");
  ScopedKey handle;
  if (status = RegCreateKeyExA(key->root, key->path, 0, KEY_ALL_ACCESS, handle.out());
      status != ERROR_SUCCESS) {
    return Fail(status);
  }
  if (options.valueName.empty() && !options.defaultValue) {
    fmt::print("{}\n", kDone);  // the key alone
    return 0;
  }
  RegValue existing;
  if (!options.force && RegQueryValueExA(handle.get(), options.valueName, existing) == 0 &&
      !Confirm(fmt::format("Value {} exists, overwrite(Yes/No)?",
                           options.valueName.empty() ? "(Default)" : options.valueName))) {
    return Canceled();
  }
  if (status = RegSetValueExA(handle.get(), options.valueName, value->type, value->data);
      status != ERROR_SUCCESS) {
    return Fail(status);
  }
  fmt::print("{}\n", kDone);
  return 0;
}

int RunDelete(const RegOptions& options) {
  LSTATUS status = ERROR_SUCCESS;
  const auto key = KeyArgument(options.key, status);
  if (!key) return InvalidKey(status);
  const bool oneValue = !options.valueName.empty() || options.defaultValue;
  const std::string question =
      oneValue ? fmt::format("Delete the registry value {} (Yes/No)?",
                             options.valueName.empty() ? "(Default)" : options.valueName)
      : options.allValues
          ? fmt::format("Delete all values under the registry key {} (Yes/No)?", FullKeyName(*key))
          : fmt::format("Permanently delete the registry key {} (Yes/No)?", FullKeyName(*key));
  ScopedKey handle;
  if (status = RegOpenKeyExA(key->root, key->path, 0, KEY_ALL_ACCESS, handle.out());
      status != ERROR_SUCCESS) {
    return Fail(status);
  }
  if (!options.force && !Confirm(question)) {
    return Canceled();
  }
  if (oneValue) {
    status = RegDeleteValueA(handle.get(), options.valueName);
  } else if (options.allValues) {
    for (std::string name; status == ERROR_SUCCESS;) {
      status = RegEnumValueA(handle.get(), 0, name);
      if (status == ERROR_SUCCESS) status = RegDeleteValueA(handle.get(), name);
    }
    if (status == ERROR_NO_MORE_ITEMS) status = ERROR_SUCCESS;
  } else {
    status = RegDeleteTreeA(key->root, key->path);
  }
  if (status != ERROR_SUCCESS) return Fail(status);
  fmt::print("{}\n", kDone);
  return 0;
}

int RunImport(const RegOptions& options) {
  if (options.arguments.size() != 1) return Fail("Invalid syntax.");
  std::ifstream in(options.arguments[0], std::ios::binary);
  if (!in) return Fail("Error opening the file. There may be a disk or file system error.");
  std::ostringstream content;
  content << in.rdbuf();
  try {
    const RegFileOutcome outcome = ImportRegFile(ParseRegFile(content.str()));
    if (outcome.status != ERROR_SUCCESS) {
      return Fail(fmt::format("Error accessing the registry ({}): {}", outcome.keyName,
                              ErrorText(outcome.status)));
    }
  } catch (const RegFileError& error) {
    return Fail(fmt::format("{}: {}", options.arguments[0], error.what()));
  }
  fmt::print("{}\n", kDone);
  return 0;
}

int RunExport(const RegOptions& options) {
  std::vector<std::string> arguments;
  bool overwrite = options.force;
  for (const std::string& argument : options.arguments) {
    argument == "/y" || argument == "/Y" ? overwrite = true : (arguments.push_back(argument), 0);
  }
  if (arguments.size() != 2) return Fail("Invalid syntax.");
  LSTATUS status = ERROR_SUCCESS;
  const auto key = KeyArgument(arguments[0], status);
  if (!key) return InvalidKey(status);
  RegFile file;
  if (const RegFileOutcome outcome = ExportRegKey(*key, file); outcome.status != ERROR_SUCCESS) {
    return Fail(outcome.status);
  }
  const std::string& path = arguments[1];
  if (!overwrite && std::filesystem::exists(path) &&
      !Confirm(fmt::format("File {} already exists. Overwrite (Yes/No)?", path))) {
    return Canceled();
  }
  if (const std::error_code error = ReplaceFileContent(path, FormatRegFile(file))) {
    return Fail(fmt::format(
        "Error opening the file. There may be a disk or file system error. ({})", error.message()));
  }
  fmt::print("{}\n", kDone);
  return 0;
}

CLI::App* AddKeyCommand(CLI::App& reg, const char* name, const char* description,
                        RegOptions& options) {
  CLI::App* cmd = reg.add_subcommand(name, description);
  // reg.exe's switches: /v NAME, /ve, /f ...; the key never starts with a slash.
  cmd->allow_windows_style_options();
  cmd->add_option("key", options.key, "Full key name, e.g. HKLM\\Software\\Quillon")->required();
  cmd->add_option("-v", options.valueName, "The value of that name");
  cmd->add_flag("--ve", options.defaultValue, "The unnamed value");
  return cmd;
}

}  // namespace

void AddRegCommand(CLI::App& app) {
  auto options = std::make_shared<RegOptions>();
  CLI::App* reg = app.add_subcommand("reg", "Query and change the registry like reg.exe");
  reg->require_subcommand(1);

  CLI::App* query = AddKeyCommand(*reg, "query", "Show a key's values and sub-keys", *options);
  query->footer("Exit status: 0 when found, 1 otherwise.");
  query->callback([options] { exit_status = RunQuery(*options); });

  CLI::App* add = AddKeyCommand(*reg, "add", "Add a key or a value", *options);
  add->add_option("-t", options->type,
                  "REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_BINARY");
  add->add_option("-d", options->data, "Data");
  add->add_option("-s", options->separator, "Separator of REG_MULTI_SZ parts (default \\0)");
  add->add_flag("-f", options->force, "Overwrite without asking");
  add->footer(kExitStatus);
  add->callback([options] { exit_status = RunAdd(*options); });

  CLI::App* remove = AddKeyCommand(*reg, "delete", "Delete a value or a whole key", *options);
  remove->add_flag("--va", options->allValues, "All values of the key");
  remove->add_flag("-f", options->force, "Delete without asking");
  remove->footer(kExitStatus);
  remove->callback([options] { exit_status = RunDelete(*options); });

  CLI::App* imported = reg->add_subcommand("import", "Apply a .reg file");
  imported->add_option("file", options->arguments, "The .reg file")->required();
  imported->footer("Exit status: 0 when the whole file was applied, 1 when nothing was.");
  imported->callback([options] { exit_status = RunImport(*options); });

  CLI::App* exported = reg->add_subcommand("export", "Write a key and its sub-keys to a .reg file");
  exported->add_option("arguments", options->arguments, "KEY FILE [/y]")->required();
  exported->add_flag("-y", options->force, "Overwrite the file without asking");
  exported->footer(kExitStatus);
  exported->callback([options] { exit_status = RunExport(*options); });
}

}  // namespace tarsin::cli
