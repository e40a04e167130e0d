// SPDX-License-Identifier: Apache-2.0
// Compiled by CTest and expected to fail: a row that names three parameters for a member with four.
#include "automation/member_binding.h"

namespace tarsin::automation {

Member WrongRow() {
  return Method<&Encoder::MifareReadDataBloc>(27, "MifareReadDataBloc",
                                              {"BlocNumber", "Key", "KeyType"});
}

}  // namespace tarsin::automation
