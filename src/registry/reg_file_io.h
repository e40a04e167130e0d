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

// Applies the sections in order and stops at the first that fails. Deleting what is not
// there is not a failure.
RegFileOutcome ImportRegFile(const RegFile& file);

// The key with its values in their order, then each sub-key the same way, depth first.
RegFileOutcome ExportRegKey(const KeyName& key, RegFile& file);

}  // namespace tarsin::registry
