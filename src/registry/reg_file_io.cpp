#include "registry/reg_file_io.h"

#include "registry/reg_api.h"

namespace tarsin::registry {
namespace {

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

LSTATUS ExportTree(const KeyName& key, RegFile& file) {
  ScopedKey handle;
  if (LSTATUS status = RegOpenKeyExA(key.root, key.path, 0, KEY_READ, handle.out());
      status != ERROR_SUCCESS) {
    return status;
  }
  RegFileKey section{FullKeyName(key)};
  LSTATUS status = ERROR_SUCCESS;
  for (uint32_t index = 0; status == ERROR_SUCCESS; ++index) {
    RegFileValue entry{.value = RegValue{}};
    status = RegEnumValueA(handle.get(), index, entry.name, &*entry.value);
    if (status == ERROR_SUCCESS) section.values.push_back(std::move(entry));
  }
  if (status != ERROR_NO_MORE_ITEMS) return status;
  file.keys.push_back(std::move(section));

  std::vector<std::string> subKeys;
  status = ERROR_SUCCESS;
  for (uint32_t index = 0; status == ERROR_SUCCESS; ++index) {
    std::string name;
    status = RegEnumKeyExA(handle.get(), index, name);
    if (status == ERROR_SUCCESS) subKeys.push_back(std::move(name));
  }
  if (status != ERROR_NO_MORE_ITEMS) return status;
  for (const std::string& name : subKeys) {
    const KeyName child{key.root, key.path.empty() ? name : key.path + '\\' + name};
    if (status = ExportTree(child, file); status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

}  // namespace

RegFileOutcome ImportRegFile(const RegFile& file) {
  for (const RegFileKey& section : file.keys) {
    const std::optional<KeyName> key = ParseKeyName(section.name);
    const LSTATUS status = key ? ImportSection(section, *key) : ERROR_INVALID_PARAMETER;
    if (status != ERROR_SUCCESS) return {status, section.name};
  }
  return {};
}

RegFileOutcome ExportRegKey(const KeyName& key, RegFile& file) {
  const LSTATUS status = ExportTree(key, file);
  return {status, status == ERROR_SUCCESS ? std::string() : FullKeyName(key)};
}

}  // namespace tarsin::registry
