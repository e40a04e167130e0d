// SPDX-License-Identifier: Apache-2.0
// Card-level commands: version, application directory, selection, format, free memory, the
// card's UID and configuration.
#include <algorithm>

#include "desfire/native_commands.h"

namespace tarsin::sim::desfire {

namespace {

constexpr size_t kMaxApplications = 28;
constexpr size_t kIdsPerFrame = 19;
constexpr uint8_t kIsoFidPresent = 0x20;  // in CreateApplication's key count byte
constexpr size_t kMaxDfName = 16;
constexpr size_t kMaxAts = 20;

uint32_t ApplicationId(std::span<const uint8_t> data) {
  return ReadUint24(data, 0);
}

// The directory commands answer at the card level, to the card master key unless the
// directory is free.
uint8_t DirectoryRefusal(CardContext& context, std::span<const uint8_t> data) {
  if (!data.empty()) return status::kLengthError;
  if (!context.AtCardLevel()) return status::kPermissionDenied;
  if (!(context.memory.piccKeySettings & key_settings::kFreeDirectory) &&
      !context.AuthenticatedWith(0)) {
    return status::kAuthenticationError;
  }
  return status::kOk;
}

// The ATS (its length first), its CRC, then 80 and zeros to the end of the block.
Reply SetAts(CardContext& context, std::span<const uint8_t> wire) {
  const Bytes plain = context.SessionCipher().Decipher(wire);
  const size_t length = plain[0];
  if (length < 2 || length > kMaxAts || length + 3 > plain.size() ||
      AtsHistoricalBytes(Bytes(plain.begin(), plain.begin() + static_cast<long>(length))) >
          length) {
    return Reply::Status(status::kParameterError);
  }
  const uint16_t crc = CrcA(std::span(plain).first(length));
  const bool padded =
      plain[length + 2] == 0x80 && std::all_of(plain.begin() + static_cast<long>(length) + 3,
                                               plain.end(), [](uint8_t byte) { return byte == 0; });
  if (plain[length] != (crc & 0xFF) || plain[length + 1] != (crc >> 8) || !padded) {
    return Reply::Status(status::kIntegrityError);
  }
  context.memory.ats.assign(plain.begin(), plain.begin() + static_cast<long>(length));
  return {};
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
  if (context.memory.configuration & configuration::kFormatDisabled) {
    return Reply::Status(status::kPermissionDenied);
  }
  context.memory.applications.clear();
  context.memory.usedMemory = 0;
  context.DropPendingChanges();
  // Hosts take the session as ended (the public host library does).
  context.DropAuthentication();
  return {};
}

Reply CreateApplication(CardContext& context, std::span<const uint8_t> data) {
  // AID, key settings, key count; the EV1 form adds an ISO file id and a DF name.
  if (data.size() < 5) return Reply::Status(status::kLengthError);
  const bool withIsoFid = data[4] & kIsoFidPresent;
  if (withIsoFid ? data.size() > 7 + kMaxDfName || data.size() < 7 : data.size() != 5) {
    return Reply::Status(status::kLengthError);
  }
  if (!context.AtCardLevel()) return Reply::Status(status::kPermissionDenied);
  CardMemory& memory = context.memory;
  if (!(memory.piccKeySettings & key_settings::kFreeCreateDelete) &&
      !context.AuthenticatedWith(0)) {
    return Reply::Status(status::kAuthenticationError);
  }
  const uint32_t id = ApplicationId(data);
  const uint8_t keyCount = data[4] & 0x0F;
  const uint8_t keyType = data[4] & 0xC0;
  if (id == 0 || keyCount == 0 || keyCount > 14 || keyType == 0xC0 || (data[4] & 0x10)) {
    return Reply::Status(status::kParameterError);
  }
  Key key = memory.defaultKey;
  if (keyType == static_cast<uint8_t>(KeyType::kAes)) {
    // An AES key has no parity bits: the default key's version goes into its own byte.
    std::fill(key.begin() + 16, key.end(), 0);
    key[16] = KeyVersion(memory.defaultKey);
  }
  Application application{.id = id,
                          .keySettings = data[3],
                          .keyType = static_cast<KeyType>(keyType),
                          .keys = std::vector<Key>(keyCount, key)};
  if (withIsoFid) {
    application.isoFid = static_cast<uint16_t>(data[5] | data[6] << 8);
    application.dfName.assign(data.begin() + 7, data.end());
  }
  const bool taken = std::ranges::any_of(memory.applications, [&](const Application& other) {
    return other.id == id || (application.isoFid && other.isoFid == application.isoFid) ||
           (!application.dfName.empty() && other.dfName == application.dfName);
  });
  if (taken) return Reply::Status(status::kDuplicateError);
  if (memory.applications.size() >= kMaxApplications) return Reply::Status(status::kCountError);
  memory.applications.push_back(std::move(application));
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
  if (uint8_t refusal = DirectoryRefusal(context, data)) return Reply::Status(refusal);
  Bytes ids;
  for (const Application& application : context.memory.applications) {
    AppendUint24(ids, application.id);
  }
  return Reply::Data(ids, kIdsPerFrame * 3);
}

// One frame per application with an ISO file id: AID, ISO file id, DF name.
Reply GetDfNames(CardContext& context, std::span<const uint8_t> data) {
  if (uint8_t refusal = DirectoryRefusal(context, data)) return Reply::Status(refusal);
  Reply reply;
  for (const Application& application : context.memory.applications) {
    if (!application.isoFid) continue;
    Bytes frame;
    AppendUint24(frame, application.id);
    frame.push_back(static_cast<uint8_t>(*application.isoFid));
    frame.push_back(static_cast<uint8_t>(*application.isoFid >> 8));
    frame.insert(frame.end(), application.dfName.begin(), application.dfName.end());
    reply.frames.push_back(std::move(frame));
  }
  return reply;
}

Reply GetFreeMemory(CardContext& context, std::span<const uint8_t> data) {
  if (!data.empty()) return Reply::Status(status::kLengthError);
  Bytes free;
  AppendUint24(free, context.memory.TotalMemory() - context.memory.usedMemory);
  return Reply::Data(free);
}

// The UID travels enciphered under the session key of any authenticated key.
Reply GetCardUid(CardContext& context, std::span<const uint8_t> data) {
  if (!data.empty()) return Reply::Status(status::kLengthError);
  if (!context.session.authenticatedKey) return Reply::Status(status::kAuthenticationError);
  return Reply{status::kOk, {context.Protect(Channel::kEnciphered, context.memory.uid)}};
}

// Option 00: the configuration byte; 01: the default key (24 bytes, the first 16 of a DES or
// 2K3DES key used) and its version; 02: the ATS. All travel enciphered with their CRC.
Reply SetConfiguration(CardContext& context, std::span<const uint8_t> data) {
  if (data.empty()) return Reply::Status(status::kLengthError);
  if (!context.AtCardLevel() || !context.AuthenticatedWith(0)) {
    return Reply::Status(status::kAuthenticationError);
  }
  const uint8_t option = data[0];
  const auto wire = data.subspan(1);
  if (option > 2) return Reply::Status(status::kParameterError);
  if (wire.empty() || wire.size() % 8 != 0) return Reply::Status(status::kLengthError);
  CardMemory& memory = context.memory;
  if (option == 2) return SetAts(context, wire);
  const size_t plainLength = option == 0 ? 1 : 25;
  if (wire.size() != context.WireLength(Channel::kEnciphered, plainLength)) {
    return Reply::Status(status::kLengthError);
  }
  const auto plain = context.Unprotect(Channel::kEnciphered, data, 1, plainLength);
  if (!plain) return Reply::Status(status::kIntegrityError);
  if (option == 0) {
    const uint8_t known = configuration::kFormatDisabled | configuration::kRandomUid;
    if ((*plain)[0] & ~known) return Reply::Status(status::kParameterError);
    memory.configuration = (*plain)[0] | (memory.configuration & configuration::kRandomUid);
    return {};
  }
  std::copy_n(plain->begin(), memory.defaultKey.size(), memory.defaultKey.begin());
  SetKeyVersion(memory.defaultKey, (*plain)[24]);
  return {};
}

}  // namespace tarsin::sim::desfire
