// SPDX-License-Identifier: Apache-2.0
#include "desfire/desfire_card.h"

#include <algorithm>
#include <random>

#include "card/atr.h"
#include "desfire/card_memory.h"
#include "desfire/card_session.h"
#include "desfire/native_commands.h"

namespace tarsin::sim {

using namespace desfire;

namespace {

constexpr uint8_t kNativeClass = 0x90;
constexpr uint8_t kAdditionalFrame = 0xAF;
const Bytes kCardLevelDfName{0xD2, 0x76, 0x00, 0x00, 0x85, 0x01, 0x00};
const Bytes kMasterFile{0x3F, 0x00};

// A command whose data are all in: the handler inside the EV1 secure messaging.
Reply Run(CardContext& context, const NativeCommand& command, std::span<const uint8_t> data) {
  context.BeginCommand(command.instruction, data);
  return command.handle(context, data);
}

Bytes StatusWord(uint8_t sw1, uint8_t sw2) {
  return {sw1, sw2};
}

// Statuses after which the card keeps its authentication.
bool KeepsAuthentication(uint8_t code) {
  return code == status::kOk || code == status::kAdditionalFrame || code == status::kNoChanges;
}

void SystemRandom(std::span<uint8_t> buffer) {
  std::random_device device;
  for (uint8_t& byte : buffer) byte = static_cast<uint8_t>(device());
}

// The data field of an APDU, or nothing when its length bytes do not add up.
std::optional<Bytes> CommandData(const Bytes& apdu) {
  if (apdu.size() <= 5) return Bytes{};  // no data, Le at most
  const size_t length = apdu[4];
  if (apdu.size() != 5 + length && apdu.size() != 6 + length) return std::nullopt;
  return Bytes(apdu.begin() + 5, apdu.begin() + 5 + static_cast<long>(length));
}

}  // namespace

const Bytes DesfireCard::kDefaultUid{0x04, 0x5A, 0x31, 0x8A, 0x2C, 0x3B, 0x80};
const Bytes DesfireCard::kDefaultAts{0x06, 0x75, 0x77, 0x81, 0x02, 0x80};

DesfireCard::DesfireCard()
    : memory_(std::make_unique<CardMemory>()),
      session_(std::make_unique<Session>()),
      random_(SystemRandom) {}

DesfireCard::DesfireCard(DesfireCard&&) noexcept = default;
DesfireCard& DesfireCard::operator=(DesfireCard&&) noexcept = default;
DesfireCard::~DesfireCard() = default;

DesfireCard::DesfireCard(const DesfireCard& other)
    : memory_(std::make_unique<CardMemory>(*other.memory_)),
      session_(std::make_unique<Session>(*other.session_)),
      random_(other.random_) {}

DesfireCard& DesfireCard::operator=(const DesfireCard& other) {
  if (this != &other) *this = DesfireCard(other);
  return *this;
}

DesfireCard DesfireCard::Blank(DesfireCapacity capacity, const Bytes& uid) {
  DesfireCard card;
  card.memory_->capacity = capacity;
  card.memory_->uid = uid;
  card.memory_->uid.resize(7, 0);
  card.memory_->batch = {0xBA, 0x34, 0x49, 0x20, 0x50};
  card.memory_->ats = kDefaultAts;
  return card;
}

void DesfireCard::SetRandomSource(RandomSource random) {
  random_ = random ? std::move(random) : RandomSource(SystemRandom);
}

Bytes DesfireCard::Ats() const {
  return memory_->ats;
}

Bytes DesfireCard::Atr() const {
  const Bytes& ats = memory_->ats;
  const size_t historical = std::min(ats.size(), AtsHistoricalBytes(ats));
  const size_t count = std::min<size_t>(ats.size() - historical, 15);
  Bytes atr{0x3B, static_cast<uint8_t>(0x80 | count), 0x80, 0x01};
  atr.insert(atr.end(), ats.begin() + static_cast<long>(historical),
             ats.begin() + static_cast<long>(historical + count));
  uint8_t check = 0;
  for (size_t i = 1; i < atr.size(); ++i) check ^= atr[i];
  atr.push_back(check);
  return atr;
}

Bytes DesfireCard::Uid() const {
  if (!(memory_->configuration & configuration::kRandomUid)) return memory_->uid;
  // A random ID for each activation: 08 and three random bytes (ISO/IEC 14443-3). The session
  // is not part of the card's const state.
  Bytes& id = session_->randomUid;
  if (id.empty()) {
    id = {0x08, 0, 0, 0};
    random_(std::span(id).subspan(1));
  }
  return id;
}

void DesfireCard::Reset() {
  *session_ = Session{};
}

Bytes DesfireCard::Transmit(const Bytes& apdu) {
  try {
    if (apdu.size() < 4) return StatusWord(0x67, 0x00);
    const auto data = CommandData(apdu);
    if (!data) return StatusWord(0x67, 0x00);
    if (apdu[0] == 0x00 && apdu[1] == 0xA4) {
      // Readers select the card level by its DF name or the master file before native traffic.
      const bool cardLevel = (apdu[2] == 0x04 && *data == kCardLevelDfName) ||
                             (apdu[2] == 0x00 && *data == kMasterFile);
      if (!cardLevel) return StatusWord(0x6A, 0x82);
      Bytes activation = std::move(session_->randomUid);  // no new activation
      Reset();
      session_->randomUid = std::move(activation);
      return StatusWord(0x90, 0x00);
    }
    if (apdu[0] != kNativeClass) return StatusWord(0x6E, 0x00);
    if (apdu[2] != 0 || apdu[3] != 0) return StatusWord(0x6A, 0x86);
    return Native(apdu[1], *data);
  } catch (...) {
    return StatusWord(0x6F, 0x00);  // the card's "no precise diagnosis"
  }
}

Bytes DesfireCard::Native(uint8_t instruction, const Bytes& data) {
  CardContext context(*memory_, *session_, random_);
  Session& session = *session_;
  Reply reply;
  if (instruction != kAdditionalFrame || data.size() > Reply::kMaxFrameData) {
    session.incoming.reset();
    session.outgoing.clear();
    session.authentication.reset();
    session.ev1Authentication.reset();
  }
  if (data.size() > Reply::kMaxFrameData) {
    reply = Reply::Status(status::kLengthError);
  } else if (instruction == kAdditionalFrame) {
    reply = Continue(context, data);
  } else {
    reply = Start(context, instruction, data);
  }
  if (!KeepsAuthentication(reply.status)) context.DropAuthentication();
  context.SecureAnswer(reply);

  Bytes answer;
  if (!reply.frames.empty()) answer = reply.frames.front();
  uint8_t code = reply.status;
  if (reply.frames.size() > 1) {
    session.outgoing.assign(reply.frames.begin() + 1, reply.frames.end());
    session.outgoingStatus = reply.status;
    code = status::kAdditionalFrame;
  }
  answer.push_back(0x91);
  answer.push_back(code);
  return answer;
}

Reply DesfireCard::Start(CardContext& context, uint8_t instruction, const Bytes& data) {
  const NativeCommand* command = FindNativeCommand(instruction);
  if (!command) return Reply::Status(status::kIllegalCommand);
  if (!command->expect) return Run(context, *command, data);
  const Expectation expected = command->expect(context, data);
  if (expected.status != status::kOk) return Reply::Status(expected.status);
  if (data.size() > expected.length) return Reply::Status(status::kLengthError);
  if (data.size() == expected.length) return Run(context, *command, data);
  session_->incoming = IncomingCommand{instruction, expected.length, data};
  return Reply::Status(status::kAdditionalFrame);
}

Reply DesfireCard::Continue(CardContext& context, const Bytes& data) {
  Session& session = *session_;
  if (session.authentication) return AuthenticateSecondPass(context, data);
  if (session.ev1Authentication) return Ev1AuthenticateSecondPass(context, data);
  if (!session.outgoing.empty()) {
    Reply rest{session.outgoingStatus, std::move(session.outgoing)};
    session.outgoing.clear();
    context.AnswerProtected();  // its CMAC went into the last frame already
    return rest;
  }
  if (!session.incoming) return Reply::Status(status::kIllegalCommand);
  IncomingCommand& incoming = *session.incoming;
  if (data.empty() || incoming.data.size() + data.size() > incoming.expectedLength) {
    session.incoming.reset();
    return Reply::Status(status::kLengthError);
  }
  incoming.data.insert(incoming.data.end(), data.begin(), data.end());
  if (incoming.data.size() < incoming.expectedLength) {
    return Reply::Status(status::kAdditionalFrame);
  }
  const IncomingCommand complete = std::move(incoming);
  session.incoming.reset();
  return Run(context, *FindNativeCommand(complete.instruction), complete.data);
}

}  // namespace tarsin::sim
