// Card-level commands: version, application directory, selection, format and free memory.
#include "desfire/native_commands.h"

namespace tarsin::sim::desfire {

namespace {

constexpr size_t kMaxApplications = 28;
constexpr size_t kIdsPerFrame = 19;

uint32_t ApplicationId(std::span<const uint8_t> data) {
  return ReadUint24(data, 0);
}

}  // namespace

Reply GetVersion(CardContext& context, std::span<const uint8_t> data) {
  if (!data.empty()) return Reply::Status(status::kLengthError);
  const CardMemory& memory = context.memory;
  const uint8_t storage = FactsOf(memory.capacity).storageSize;
  // NXP, DESFire, hardware 1.0 / software 1.4 (EV1), ISO 14443-2 and -3.
  Bytes production(memory.uid);
  production.insert(production.end(), memory.batch.begin(), memory.batch.end());
  production.push_back(memory.productionWeek);
  production.push_back(memory.productionYear);
  return Reply{status::kOk,
               {{0x04, 0x01, 0x01, 0x01, 0x00, storage, 0x05},
                {0x04, 0x01, 0x01, 0x01, 0x04, storage, 0x05},
                production}};
}

Reply SelectApplication(CardContext& context, std::span<const uint8_t> data) {
  if (data.size() != 3) return Reply::Status(status::kLengthError);
  const uint32_t id = ApplicationId(data);
  if (id != 0 && !context.memory.FindApplication(id)) {
    return Reply::Status(status::kApplicationNotFound);
  }
  context.DropAuthentication();
  context.DropPendingChanges();
  context.session.selected = id;
  return {};
}

Reply FormatPicc(CardContext& context, std::span<const uint8_t> data) {
  if (!data.empty()) return Reply::Status(status::kLengthError);
  if (!context.AtCardLevel()) return Reply::Status(status::kPermissionDenied);
  if (!context.AuthenticatedWith(0)) return Reply::Status(status::kAuthenticationError);
  context.memory.applications.clear();
  context.memory.usedMemory = 0;
  context.DropPendingChanges();
  return {};
}

Reply CreateApplication(CardContext& context, std::span<const uint8_t> data) {
  if (data.size() != 5) return Reply::Status(status::kLengthError);
  if (!context.AtCardLevel()) return Reply::Status(status::kPermissionDenied);
  CardMemory& memory = context.memory;
  if (!(memory.piccKeySettings & key_settings::kFreeCreateDelete) &&
      !context.AuthenticatedWith(0)) {
    return Reply::Status(status::kAuthenticationError);
  }
  const uint32_t id = ApplicationId(data);
  const uint8_t keySettings = data[3];
  // The upper bits ask for 3K3DES or AES keys or ISO file ids, which this card does not keep.
  const uint8_t keyCount = data[4];
  if (id == 0 || keyCount == 0 || keyCount > 14) return Reply::Status(status::kParameterError);
  if (memory.FindApplication(id)) return Reply::Status(status::kDuplicateError);
  if (memory.applications.size() >= kMaxApplications) return Reply::Status(status::kCountError);
  memory.applications.push_back(
      Application{.id = id, .keySettings = keySettings, .keys = std::vector<Key>(keyCount)});
  return {};
}

Reply DeleteApplication(CardContext& context, std::span<const uint8_t> data) {
  if (data.size() != 3) return Reply::Status(status::kLengthError);
  CardMemory& memory = context.memory;
  const uint32_t id = ApplicationId(data);
  if (id == 0) return Reply::Status(status::kParameterError);
  if (!memory.FindApplication(id)) return Reply::Status(status::kApplicationNotFound);
  // The card master key may always delete; the application's own master key only when the
  // card's settings leave creation free.
  const bool byCardMaster = context.AtCardLevel() && context.AuthenticatedWith(0);
  const bool byOwnMaster = context.session.selected == id && context.AuthenticatedWith(0) &&
                           (memory.piccKeySettings & key_settings::kFreeCreateDelete);
  if (!byCardMaster && !byOwnMaster) return Reply::Status(status::kAuthenticationError);
  std::erase_if(memory.applications, [id](const Application& a) { return a.id == id; });
  if (context.session.selected == id) {
    context.session.selected = 0;
    context.DropAuthentication();
    context.DropPendingChanges();
  }
  return {};
}

Reply GetApplicationIds(CardContext& context, std::span<const uint8_t> data) {
  if (!data.empty()) return Reply::Status(status::kLengthError);
  if (!context.AtCardLevel()) return Reply::Status(status::kPermissionDenied);
  if (!(context.memory.piccKeySettings & key_settings::kFreeDirectory) &&
      !context.AuthenticatedWith(0)) {
    return Reply::Status(status::kAuthenticationError);
  }
  Bytes ids;
  for (const Application& application : context.memory.applications) {
    AppendUint24(ids, application.id);
  }
  return Reply::Data(ids, kIdsPerFrame * 3);
}

Reply GetFreeMemory(CardContext& context, std::span<const uint8_t> data) {
  if (!data.empty()) return Reply::Status(status::kLengthError);
  Bytes free;
  AppendUint24(free, context.memory.TotalMemory() - context.memory.usedMemory);
  return Reply::Data(free);
}

}  // namespace tarsin::sim::desfire
