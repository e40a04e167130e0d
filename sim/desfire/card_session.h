#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <span>

#include "desfire/card_memory.h"

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
  Key sessionKey{};
  std::optional<AuthenticationStep> authentication;
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
  LegacyCipher SessionCipher() const { return LegacyCipher(session.sessionKey); }

  void DropAuthentication();
  void DropPendingChanges() { session.pending.clear(); }

  // Who may run a file command: a right of 0xE opens it in plain, an authenticated key listed
  // among the rights opens it with the file's communication settings.
  AccessDecision Authorize(const DesfireFile& file, std::span<const uint8_t> rights) const;
  AccessDecision Authorize(const DesfireFile& file, std::initializer_list<uint8_t> rights) const {
    return Authorize(file, std::span(rights.begin(), rights.size()));
  }

  // Card-to-host protection of an answer and host-to-card removal of it.
  Bytes Protect(Channel channel, Bytes data) const;
  std::optional<Bytes> Unprotect(Channel channel, std::span<const uint8_t> wire,
                                 size_t plainLength) const;
};

// Bytes on the wire for `plainLength` bytes of file data.
size_t WireLength(Channel channel, size_t plainLength);

// Little-endian fields of the native commands.
uint32_t ReadUint24(std::span<const uint8_t> data, size_t offset);
int32_t ReadInt32(std::span<const uint8_t> data, size_t offset);
void AppendUint24(Bytes& out, uint32_t value);
void AppendInt32(Bytes& out, int32_t value);

}  // namespace tarsin::sim::desfire
