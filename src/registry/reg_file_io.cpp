// SPDX-License-Identifier: Apache-2.0
#include "registry/reg_file_io.h"

#include <algorithm>
#include <deque>

#include "registry/reg_api.h"

namespace tarsin::registry {
namespace {

struct Section {
  const RegFileKey* entry;
  KeyName key;
};

LSTATUS ImportSection(const RegFileKey& section, const KeyName& key) {
  if (section.remove) {
    const LSTATUS status = RegDeleteTreeA(key.root, key.path);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
  }
  ScopedKey handle;
  if (LSTATUS status = RegCreateKeyExA(key.root, key.path, 0, KEY_ALL_ACCESS, handle.out());
      status != ERROR_SUCCESS) {
    return status;
  }
  for (const RegFileValue& entry : section.values) {
    LSTATUS status =
        entry.value ? RegSetValueExA(handle.get(), entry.name, entry.value->type, entry.value->data)
                    : RegDeleteValueA(handle.get(), entry.name);
    if (status != ERROR_SUCCESS && !(status == ERROR_FILE_NOT_FOUND && !entry.value)) {
      return status;
    }
  }
  return ERROR_SUCCESS;
}

// Opens a transaction on each hive from roots[index] on and writes every section inside all of
// them, so that no hive commits before the whole file is written.
LSTATUS ImportInHives(const std::vector<HKEY>& roots, size_t index,
                      const std::vector<Section>& sections, std::string& failed) {
  if (index == roots.size()) {
    for (const Section& section : sections) {
      if (LSTATUS status = ImportSection(*section.entry, section.key); status != ERROR_SUCCESS) {
        failed = section.entry->name;
        return status;
      }
    }
    return ERROR_SUCCESS;
  }
  const LSTATUS status = RegTransaction(
      roots[index], [&] { return ImportInHives(roots, index + 1, sections, failed); });
  // The hive itself failed (it could not be opened or committed): name its first section.
  for (auto section = sections.begin(); failed.empty() && status != ERROR_SUCCESS; ++section) {
    if (section->key.root == roots[index]) failed = section->entry->name;
  }
  return status;
}

// A key being exported: its open handle, its full name and the sub-keys still to visit.
struct Frame {
  ScopedKey handle;
  std::string name;
  std::vector<std::string> subKeys;
  size_t next = 0;
};

// Opens `subKey` of `parent`, adds its section to `file` and pushes it on `stack`.
LSTATUS Visit(HKEY parent, std::string_view subKey, std::string fullName, RegFile& file,
              std::deque<Frame>& stack) {
  Frame& frame = stack.emplace_back();
  frame.name = std::move(fullName);
  if (LSTATUS status = RegOpenKeyExA(parent, subKey, 0, KEY_READ, frame.handle.out());
      status != ERROR_SUCCESS) {
    return status;
  }
  RegFileKey section{frame.name};
  LSTATUS status = ERROR_SUCCESS;
  for (uint32_t index = 0; status == ERROR_SUCCESS; ++index) {
    RegFileValue entry{.value = RegValue{}};
    status = RegEnumValueA(frame.handle.get(), index, entry.name, &*entry.value);
    if (status == ERROR_SUCCESS) section.values.push_back(std::move(entry));
  }
  if (status != ERROR_NO_MORE_ITEMS) return status;
  file.keys.push_back(std::move(section));
  status = ERROR_SUCCESS;
  for (uint32_t index = 0; status == ERROR_SUCCESS; ++index) {
    std::string name;
    status = RegEnumKeyExA(frame.handle.get(), index, name);
    if (status == ERROR_SUCCESS) frame.subKeys.push_back(std::move(name));
  }
  return status == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : status;
}

}  // namespace

RegFileOutcome ImportRegFile(const RegFile& file) {
  std::vector<Section> sections;
  std::vector<HKEY> roots;
  for (const RegFileKey& entry : file.keys) {
    const std::optional<KeyName> key = ParseKeyName(entry.name);
    if (!key) return {ERROR_INVALID_PARAMETER, entry.name};
    if (!entry.remove) {
      if (LSTATUS status = KeyLimitStatus(KeyPathNames(key->path), 0); status != ERROR_SUCCESS) {
        return {status, entry.name};
      }
    }
    if (std::ranges::find(roots, key->root) == roots.end()) roots.push_back(key->root);
    sections.push_back({&entry, *key});
  }
  // Every writer takes the hives in the same order, so that two imports never wait on each
  // other's hive.
  std::ranges::sort(roots);
  RegFileOutcome outcome;
  outcome.status = ImportInHives(roots, 0, sections, outcome.keyName);
  if (outcome.status == ERROR_SUCCESS) outcome.keyName.clear();
  return outcome;
}

RegFileOutcome ExportRegKey(const KeyName& key, RegFile& file) {
  // Each key is opened from its parent's handle and named from its parent's name, so that the
  // work grows with the size of the tree, whatever its depth.
  std::deque<Frame> stack;
  LSTATUS status = Visit(key.root, key.path, FullKeyName(key), file, stack);
  while (status == ERROR_SUCCESS && !stack.empty()) {
    Frame& top = stack.back();
    if (top.next == top.subKeys.size()) {
      stack.pop_back();
      continue;
    }
    const std::string& name = top.subKeys[top.next++];
    status = Visit(top.handle.get(), name, top.name + '\\' + name, file, stack);
  }
  if (status == ERROR_SUCCESS) return {};
  return {status, stack.back().name};
}

}  // namespace tarsin::registry
