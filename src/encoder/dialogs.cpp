// SPDX-License-Identifier: Apache-2.0
// The dialogs live in the platform's dialog library, or in the library named by
// TARSIN_RF_DIALOG_LIBRARY, loaded on first use. They reach the readers through the component's
// own provider, handed over as a table of calls.
#include "encoder/dialogs.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/failure.h"
#include "core/shared_library.h"
#include "pcsc/dialog_abi.h"
#include "pcsc/status_texts.h"
#include "pcsc/winscard.h"

namespace tarsin {
namespace {

SharedLibrary& DialogLibrary() {
  const char* named = std::getenv("TARSIN_RF_DIALOG_LIBRARY");
  return SharedLibrary::Loaded((named && *named) ? named : DefaultDialogLibrary());
}

// A provider that cannot be loaded answers like a resource manager that is not running.
template <class Call>
int32_t Guarded(Call&& call) noexcept {
  try {
    return PcscResult32(std::forward<Call>(call)());
  } catch (...) {
    return PcscResult32(SCARD_E_NO_SERVICE);
  }
}

int32_t ListReaders(intptr_t context, char* readers, uint32_t* length) noexcept {
  return Guarded([&] {
    DWORD size = *length;
    const LONG result = WinSCard::Current().ListReaders(context, nullptr, readers, &size);
    *length = static_cast<uint32_t>(size);
    return result;
  });
}

int32_t Connect(intptr_t context, const char* reader, uint32_t shareMode,
                uint32_t preferredProtocols, intptr_t* card, uint32_t* activeProtocol) noexcept {
  return Guarded([&] {
    SCARDHANDLE handle = 0;
    DWORD active = 0;
    const LONG result = WinSCard::Current().Connect(context, reader, shareMode, preferredProtocols,
                                                    &handle, &active);
    *card = handle;
    *activeProtocol = static_cast<uint32_t>(active);
    return result;
  });
}

int32_t GetAttrib(intptr_t card, uint32_t attrId, uint8_t* value, uint32_t* length) noexcept {
  return Guarded([&] {
    DWORD size = *length;
    const LONG result = WinSCard::Current().GetAttrib(card, attrId, value, &size);
    *length = static_cast<uint32_t>(size);
    return result;
  });
}

int32_t Disconnect(intptr_t card, uint32_t disposition) noexcept {
  return Guarded([&] { return WinSCard::Current().Disconnect(card, disposition); });
}

void ErrorText(int32_t code, char* text, uint32_t capacity) noexcept {
  if (capacity == 0) return;
  const std::string sentence = SCardErrorText(code);
  const size_t length = std::min<size_t>(sentence.size(), capacity - 1);
  std::memcpy(text, sentence.data(), length);
  text[length] = '\0';
}

constexpr TarsinPcscCalls kPcscCalls{ListReaders, Connect, GetAttrib, Disconnect, ErrorText};

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
  shared.pcsc = &kPcscCalls;
  if (show(&shared) != 0) {
    shared.reason[sizeof shared.reason - 1] = '\0';
    throw Failure(errors::kDialogUnavailable, library.library(), std::string(": ") + shared.reason);
  }
  shared.device[sizeof shared.device - 1] = '\0';
  form.device = shared.device;
  form.protocol = shared.protocol;
  form.openMode = shared.openMode;
  form.okPressed = shared.okPressed == 1;
}

}  // namespace tarsin
