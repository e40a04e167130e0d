// SPDX-License-Identifier: Apache-2.0
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

KeyType CardContext::CurrentKeyType() {
  const Application* application = SelectedApplication();
  return application ? application->keyType : memory.piccKeyType;
}

void CardContext::DropAuthentication() {
  session.authenticatedKey.reset();
  session.authentication.reset();
  session.ev1.reset();
  session.ev1Authentication.reset();
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

size_t CardContext::WireLength(Channel channel, size_t plainLength) const {
  const size_t block = session.ev1 ? BlockSizeOf(session.ev1->kind) : 8;
  switch (channel) {
    case Channel::kMac:
      return plainLength + (session.ev1 ? 8 : 4);
    case Channel::kEnciphered:
      return (plainLength + (session.ev1 ? 4 : 2) + block - 1) / block * block;
    case Channel::kPlain:
      break;
  }
  return plainLength;
}

Bytes CardContext::Protect(Channel channel, Bytes data) {
  if (session.ev1) {
    if (channel != Channel::kEnciphered) return data;
    // The CRC covers the data and the status that follows them.
    Bytes covered = data;
    covered.push_back(status::kOk);
    AppendCrc32(data, Crc32(covered));
    data.resize(WireLength(channel, data.size() - 4), 0);
    const Ev1Cipher cipher = SessionEv1Cipher();
    answerProtected_ = true;
    return cipher.Encipher(data, session.ev1->iv);
  }
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

Bytes CardContext::Ev1Decipher(std::span<const uint8_t> wire) {
  session.ev1->iv = ivBefore_;  // the command travels enciphered: no CMAC over it
  return SessionEv1Cipher().Decipher(wire, session.ev1->iv);
}

std::optional<Bytes> CardContext::Unprotect(Channel channel, std::span<const uint8_t> data,
                                            size_t headerLength, size_t plainLength) {
  if (data.size() != headerLength + WireLength(channel, plainLength)) return std::nullopt;
  const auto wire = data.subspan(headerLength);
  if (channel == Channel::kPlain) return Bytes(wire.begin(), wire.end());
  if (session.ev1) {
    // What the EV1 CMAC and CRC cover: the instruction, the header and the data.
    Bytes covered{instruction_};
    covered.insert(covered.end(), data.begin(), data.begin() + static_cast<long>(headerLength));
    if (channel == Channel::kMac) {
      session.ev1->iv = ivBefore_;  // the CMAC the host appended is the one over this command
      covered.insert(covered.end(), wire.begin(), wire.begin() + static_cast<long>(plainLength));
      const Bytes mac = SessionEv1Cipher().Cmac(covered, session.ev1->iv);
      if (!std::equal(mac.begin(), mac.begin() + 8,
                      wire.begin() + static_cast<long>(plainLength))) {
        return std::nullopt;
      }
      return Bytes(wire.begin(), wire.begin() + static_cast<long>(plainLength));
    }
    const Bytes plain = Ev1Decipher(wire);
    covered.insert(covered.end(), plain.begin(), plain.begin() + static_cast<long>(plainLength));
    Bytes crc;
    AppendCrc32(crc, Crc32(covered));
    const bool padded = std::all_of(plain.begin() + static_cast<long>(plainLength + 4), plain.end(),
                                    [](uint8_t byte) { return byte == 0; });
    if (!padded ||
        !std::equal(crc.begin(), crc.end(), plain.begin() + static_cast<long>(plainLength))) {
      return std::nullopt;
    }
    return Bytes(plain.begin(), plain.begin() + static_cast<long>(plainLength));
  }
  if (channel == Channel::kMac) {
    const auto bytes = wire.first(plainLength);
    const auto mac = SessionCipher().Mac(bytes);
    if (!std::equal(mac.begin(), mac.end(), wire.begin() + static_cast<long>(plainLength))) {
      return std::nullopt;
    }
    return Bytes(bytes.begin(), bytes.end());
  }
  const Bytes plain = SessionCipher().Decipher(wire);
  const uint16_t crc = CrcA(std::span(plain).first(plainLength));
  if (plain[plainLength] != (crc & 0xFF) || plain[plainLength + 1] != (crc >> 8)) {
    return std::nullopt;
  }
  return Bytes(plain.begin(), plain.begin() + static_cast<long>(plainLength));
}

void CardContext::BeginCommand(uint8_t instruction, std::span<const uint8_t> data) {
  instruction_ = instruction;
  if (!session.ev1) return;
  // A plain command moves the vector on by its CMAC before the card answers; MACed or
  // enciphered data start again from the vector before it (Unprotect, Ev1Decipher).
  ivBefore_ = session.ev1->iv;
  Bytes covered{instruction};
  covered.insert(covered.end(), data.begin(), data.end());
  SessionEv1Cipher().Cmac(covered, session.ev1->iv);
}

void CardContext::SecureAnswer(Reply& reply) {
  if (!session.ev1 || reply.status != status::kOk || answerProtected_) return;
  Bytes covered;
  for (const Bytes& frame : reply.frames) covered.insert(covered.end(), frame.begin(), frame.end());
  covered.push_back(status::kOk);
  const Bytes mac = SessionEv1Cipher().Cmac(covered, session.ev1->iv);
  if (reply.frames.empty()) reply.frames.emplace_back();
  Bytes& last = reply.frames.back();
  last.insert(last.end(), mac.begin(), mac.begin() + 8);
  if (last.size() > Reply::kMaxFrameData) {
    Bytes tail(last.begin() + Reply::kMaxFrameData, last.end());
    last.resize(Reply::kMaxFrameData);
    reply.frames.push_back(std::move(tail));
  }
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
