// Encoder's DESFire members: each forwards to the operation of the same name.
#include "desfire/desfire.h"
#include "tarsin/encoder.h"

namespace tarsin {

sceReturnCode Encoder::DESFireSelectRoot(const std::string& KeyValue) noexcept {
  return desfire::SelectRoot(*state_, KeyValue);
}

sceReturnCode Encoder::DESFireSelectApplication(const std::string& ApplicationId, int32_t KeyNumber,
                                                const std::string& KeyValue) noexcept {
  return desfire::SelectApplication(*state_, ApplicationId, KeyNumber, KeyValue);
}

sceReturnCode Encoder::DESFireFormat() noexcept {
  return desfire::Format(*state_);
}

sceReturnCode Encoder::DESFireCreateApplication(const std::string& ApplicationId,
                                                DesfireKeySettings KeySettings,
                                                int32_t NumOfKeys) noexcept {
  return desfire::CreateApplication(*state_, ApplicationId, KeySettings, NumOfKeys);
}

sceReturnCode Encoder::DESFireDeleteApplication(const std::string& ApplicationId) noexcept {
  return desfire::DeleteApplication(*state_, ApplicationId);
}

sceReturnCode Encoder::DESFireGetApplications(std::string& Applications) noexcept {
  return desfire::GetApplications(*state_, Applications);
}

sceReturnCode Encoder::DESFireGetVersion(DesfireVersionBytes RequestedInformation,
                                         Variant& Information) noexcept {
  return desfire::GetVersion(*state_, RequestedInformation, Information);
}

sceReturnCode Encoder::DESFireChangeKey(int32_t KeyNumber, const std::string& OldKey,
                                        const std::string& NewKey) noexcept {
  return desfire::ChangeKey(*state_, KeyNumber, OldKey, NewKey);
}

sceReturnCode Encoder::DESFireGetKeyVersion(int32_t KeyNumber, int32_t& KeyVersion) noexcept {
  return desfire::GetKeyVersion(*state_, KeyNumber, KeyVersion);
}

sceReturnCode Encoder::DESFireGetKeySettings(int32_t& KeySettings, int32_t& KeyCount) noexcept {
  return desfire::GetKeySettings(*state_, KeySettings, KeyCount);
}

sceReturnCode Encoder::DESFireChangeKeySettings(DesfireKeySettings KeySettings) noexcept {
  return desfire::ChangeKeySettings(*state_, KeySettings);
}

}  // namespace tarsin
