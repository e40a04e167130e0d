#include "desfire/card_session.h"

#include <algorithm>

namespace tarsin::sim::desfire {

Reply Reply::Data(const Bytes& data, size_t frameSize) {
  Reply reply;
  for (size_t pos = 0; pos < data.size(); pos += frameSize) {
    const size_t end = std::min(data.size(), pos + frameSize);
    reply.frames.emplace_back(data.begin() + static_cast<long>(pos),
                              data.begin() + static_cast<long>(end));
  }
  return reply;
}

Application* CardContext::SelectedApplication() {
  return AtCardLevel() ? nullptr : memory.FindApplication(session.selected);
}

uint8_t CardContext::CurrentKeySettings() {
  const Application* application = SelectedApplication();
  return application ? application->keySettings : memory.piccKeySettings;
}

void CardContext::DropAuthentication() {
  session.authenticatedKey.reset();
  session.authentication.reset();
  session.sessionKey.fill(0);
}

AccessDecision CardContext::Authorize(const DesfireFile& file,
                                      std::span<const uint8_t> rights) const {
  if (std::find(rights.begin(), rights.end(), 0xE) != rights.end()) return {};
  if (session.authenticatedKey &&
      std::find(rights.begin(), rights.end(), *session.authenticatedKey) != rights.end()) {
    switch (file.communication & 0x03) {
      case 1:
        return {status::kOk, Channel::kMac};
      case 3:
        return {status::kOk, Channel::kEnciphered};
      default:
        return {status::kOk, Channel::kPlain};
    }
  }
  const bool nobody = std::all_of(rights.begin(), rights.end(), [](uint8_t r) { return r == 0xF; });
  return {nobody ? status::kPermissionDenied : status::kAuthenticationError, Channel::kPlain};
}

size_t WireLength(Channel channel, size_t plainLength) {
  switch (channel) {
    case Channel::kMac:
      return plainLength + 4;
    case Channel::kEnciphered:
      return (plainLength + 2 + 7) / 8 * 8;
    case Channel::kPlain:
      break;
  }
  return plainLength;
}

Bytes CardContext::Protect(Channel channel, Bytes data) const {
  if (channel == Channel::kMac) {
    const auto mac = SessionCipher().Mac(data);
    data.insert(data.end(), mac.begin(), mac.end());
  } else if (channel == Channel::kEnciphered) {
    AppendCrcA(data);
    data.resize(WireLength(channel, data.size() - 2), 0);
    data = SessionCipher().Encipher(data);
  }
  return data;
}

std::optional<Bytes> CardContext::Unprotect(Channel channel, std::span<const uint8_t> wire,
                                            size_t plainLength) const {
  if (wire.size() != WireLength(channel, plainLength)) return std::nullopt;
  if (channel == Channel::kPlain) return Bytes(wire.begin(), wire.end());
  if (channel == Channel::kMac) {
    const auto data = wire.first(plainLength);
    const auto mac = SessionCipher().Mac(data);
    if (!std::equal(mac.begin(), mac.end(), wire.begin() + static_cast<long>(plainLength))) {
      return std::nullopt;
    }
    return Bytes(data.begin(), data.end());
  }
  const Bytes plain = SessionCipher().Decipher(wire);
  const uint16_t crc = CrcA(std::span(plain).first(plainLength));
  if (plain[plainLength] != (crc & 0xFF) || plain[plainLength + 1] != (crc >> 8)) {
    return std::nullopt;
  }
  return Bytes(plain.begin(), plain.begin() + static_cast<long>(plainLength));
}

uint32_t ReadUint24(std::span<const uint8_t> data, size_t offset) {
  return data[offset] | (data[offset + 1] << 8) | (data[offset + 2] << 16);
}

int32_t ReadInt32(std::span<const uint8_t> data, size_t offset) {
  const uint32_t value = static_cast<uint32_t>(data[offset]) | (data[offset + 1] << 8) |
                         (data[offset + 2] << 16) | (static_cast<uint32_t>(data[offset + 3]) << 24);
  return static_cast<int32_t>(value);
}

void AppendUint24(Bytes& out, uint32_t value) {
  for (int shift = 0; shift < 24; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void AppendInt32(Bytes& out, int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(bits >> shift));
}

}  // namespace tarsin::sim::desfire
