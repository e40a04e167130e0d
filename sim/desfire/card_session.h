// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <span>

#include "desfire/card_memory.h"
#include "desfire/ev1_cipher.h"

namespace tarsin::sim::desfire {

// A change to a backup, value or record file that waits for CommitTransaction.
struct PendingFile {
  DesfireFile file;
  bool recordOpen = false;  // WriteRecords of one transaction fill the same new record
  int64_t debited = 0;
  bool limitedCreditUsed = false;
};

struct AuthenticationStep {
  uint8_t keyNumber = 0;
  Key key{};
  std::array<uint8_t, 8> rndB{};
};

// An ISO or AES session: its cipher and key, and the vector chained through every command and
// answer.
struct Ev1Session {
  CipherKind kind = CipherKind::kAes;
  Bytes key;
  Bytes iv;
};

// The first pass of an ISO or AES authentication: the vector goes on from the card's challenge.
struct Ev1AuthenticationStep {
  uint8_t keyNumber = 0;
  CipherKind kind = CipherKind::kAes;
  Bytes key;
  Bytes rndB;
  Bytes iv;
};

// A command whose data arrives in several frames.
struct IncomingCommand {
  uint8_t instruction = 0;
  size_t expectedLength = 0;
  Bytes data;
};

// What the card forgets on a field reset.
struct Session {
  uint32_t selected = 0;  // 0: card level
  std::optional<uint8_t> authenticatedKey;
  LegacyKey sessionKey{};         // of a legacy session
  std::optional<Ev1Session> ev1;  // of an ISO or AES session
  std::optional<AuthenticationStep> authentication;
  std::optional<Ev1AuthenticationStep> ev1Authentication;
  std::map<uint8_t, PendingFile> pending;
  std::optional<IncomingCommand> incoming;
  std::vector<Bytes> outgoing;  // answer frames not fetched yet
  uint8_t outgoingStatus = status::kOk;
  Bytes randomUid;  // this activation's ID when the card hides its UID
};

// One native answer: its frames (one frame unless the answer is long) and final status.
struct Reply {
  uint8_t status = status::kOk;
  std::vector<Bytes> frames;

  static Reply Status(uint8_t code) { return Reply{code, {}}; }
  // Answers longer than one frame are cut into frames of `frameSize` bytes.
  static Reply Data(const Bytes& data, size_t frameSize = kMaxFrameData);

  static constexpr size_t kMaxFrameData = 59;
};

enum class Channel { kPlain, kMac, kEnciphered };

struct AccessDecision {
  uint8_t status = status::kOk;
  Channel channel = Channel::kPlain;
};

// The card's state as the command handlers see it.
class CardContext {
 public:
  CardContext(CardMemory& memory, Session& session, const DesfireCard::RandomSource& random)
      : memory(memory), session(session), random(random) {}

  CardMemory& memory;
  Session& session;
  const DesfireCard::RandomSource& random;

  Application* SelectedApplication();
  bool AtCardLevel() const { return session.selected == 0; }
  bool AuthenticatedWith(uint8_t keyNumber) const { return session.authenticatedKey == keyNumber; }
  uint8_t CurrentKeySettings();
  KeyType CurrentKeyType();
  LegacyCipher SessionCipher() const { return LegacyCipher(session.sessionKey); }
  // In an EV1 session only.
  Ev1Cipher SessionEv1Cipher() const { return Ev1Cipher(session.ev1->kind, session.ev1->key); }

  void DropAuthentication();
  void DropPendingChanges() { session.pending.clear(); }

  // Who may run a file command: a right of 0xE opens it in plain, an authenticated key listed
  // among the rights opens it with the file's communication settings.
  AccessDecision Authorize(const DesfireFile& file, std::span<const uint8_t> rights) const;
  AccessDecision Authorize(const DesfireFile& file, std::initializer_list<uint8_t> rights) const {
    return Authorize(file, std::span(rights.begin(), rights.size()));
  }

  // Bytes on the wire for `plainLength` bytes of data, in this session.
  size_t WireLength(Channel channel, size_t plainLength) const;
  // Card-to-host protection of an answer. In an ISO or AES session a MACed or plain answer gets
  // its CMAC when the command ends (SecureAnswer).
  Bytes Protect(Channel channel, Bytes data);
  // Host-to-card removal of it from the command data `data`, whose first `headerLength` bytes
  // travel plain (and count in the EV1 CMAC and CRC).
  std::optional<Bytes> Unprotect(Channel channel, std::span<const uint8_t> data,
                                 size_t headerLength, size_t plainLength);
  // The rest of the command enciphered in an ISO or AES session, deciphered.
  Bytes Ev1Decipher(std::span<const uint8_t> wire);

  // EV1 secure messaging around a command handler: a command whose data the handler does not
  // take as MACed or enciphered moves the vector on by its CMAC, and a successful answer not
  // enciphered gets the CMAC of its data and status.
  void BeginCommand(uint8_t instruction, std::span<const uint8_t> data);
  void SecureAnswer(Reply& reply);
  void AnswerProtected() { answerProtected_ = true; }

 private:
  uint8_t instruction_ = 0;
  Bytes ivBefore_;  // the vector before this command's CMAC
  bool answerProtected_ = false;
};

// Little-endian fields of the native commands.
uint32_t ReadUint24(std::span<const uint8_t> data, size_t offset);
int32_t ReadInt32(std::span<const uint8_t> data, size_t offset);
void AppendUint24(Bytes& out, uint32_t value);
void AppendInt32(Bytes& out, int32_t value);

}  // namespace tarsin::sim::desfire
