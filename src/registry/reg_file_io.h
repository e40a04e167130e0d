// SPDX-License-Identifier: Apache-2.0
// .reg files against the registry: import applies a file, export reads a key into one.
#pragma once

#include <string>

#include "registry/key_names.h"
#include "registry/reg_file.h"

namespace tarsin::registry {

struct RegFileOutcome {
  LSTATUS status = ERROR_SUCCESS;
  std::string keyName;  // the section that failed
};

// Checks every section first (a root key, names of at most 255 characters, at most 512 levels:
// 87 or 1450 as Windows answers), then applies them in order inside one transaction per hive,
// all hives held until every section is written: a failing section leaves the registry as it
// was. Only a commit that fails after another hive has committed leaves part of the file
// applied. Deleting what is not there is not a failure.
RegFileOutcome ImportRegFile(const RegFile& file);

// The key with its values in their order, then each sub-key the same way, depth first; the
// work grows linearly with the tree. On failure `keyName` names the key that could not be read.
RegFileOutcome ExportRegKey(const KeyName& key, RegFile& file);

}  // namespace tarsin::registry
