// The dialogs live in libtarsinrf-dialogs.so (Qt), or in the library named by
// TARSIN_RF_DIALOG_LIBRARY, loaded on first use.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/failure.h"
#include "core/shared_library.h"
#include "pcsc/dialog_abi.h"
#include "pcsc/dialogs.h"

namespace tarsin {
namespace {

constexpr const char* kDefaultLibrary = "libtarsinrf-dialogs.so";

SharedLibrary& DialogLibrary() {
  const char* named = std::getenv("TARSIN_RF_DIALOG_LIBRARY");
  return SharedLibrary::Loaded((named && *named) ? named : kDefaultLibrary);
}

}  // namespace

void ShowConfigurationDialog(ConfigurationForm& form) {
  SharedLibrary& library = DialogLibrary();
  auto show =
      reinterpret_cast<TarsinShowConfiguration>(library.EntryPoint(kShowConfigurationEntry));
  TarsinConfigurationForm shared{};
  shared.language = form.language.c_str();
  shared.hContext = static_cast<intptr_t>(form.hContext);
  const size_t length = std::min(form.device.size(), sizeof shared.device - 1);
  std::memcpy(shared.device, form.device.data(), length);
  shared.protocol = form.protocol;
  shared.openMode = form.openMode;
  if (show(&shared) != 0) throw Failure(errors::kDialogUnavailable, library.library());
  shared.device[sizeof shared.device - 1] = '\0';
  form.device = shared.device;
  form.protocol = shared.protocol;
  form.openMode = shared.openMode;
  form.okPressed = shared.okPressed == 1;
}

}  // namespace tarsin
