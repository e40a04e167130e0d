// SPDX-License-Identifier: Apache-2.0
// The state of one Encoder object. Subsystems take it by reference; Encoder's members forward.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tarsin/types.h"

namespace tarsin {

class BlockCipher;
class DES;

// pcsc-lite's SCARDCONTEXT and SCARDHANDLE are `long` on this platform.
using PcscHandle = long;

struct LogState {
  std::string path;        // computed on the first line written
  int32_t level = 0;       // never below 0
  bool ownerOnly = false;  // the file has been narrowed to its owner by this object
  bool lineCut = false;    // the last line went out short (a full disk): the next starts anew
  bool settled = false;    // the file is ours, narrowed, in a folder only we can change
};

// The key types of a DESFire session.
enum class DesfireKeyType : uint8_t { Des, TwoKeyTripleDes, ThreeKeyTripleDes, Aes };

// DESFire session: written together, and only, by a successful authentication; nothing else
// clears them.
struct DesfireSession {
  std::string CurrentApplicationId;               // 6 hex digits, "000000" the card level
  std::optional<int32_t> AuthenticatedKeyNumber;  // 0 to 13
  DesfireKeyType KeyType = DesfireKeyType::Des;
  // Authenticated with 0x1A or 0xAA: every command and answer carries the secure messaging.
  bool Ev1 = false;
  std::vector<uint8_t> SessionKey;  // 8 bytes DES, 16 two-key triple DES or AES, 24 three-key
  // The chaining value; legacy commands restart it at zero, EV1 ones carry it on.
  std::vector<uint8_t> InitVector;
  // The session key's cipher, keyed on first use and kept while the key stays (a key schedule
  // costs more than the few blocks a command ciphers). Only SessionCipher reads or writes it.
  struct KeyedCipher {
    DesfireKeyType type = DesfireKeyType::Des;
    std::vector<uint8_t> key;
    std::shared_ptr<const BlockCipher> cipher;
  };
  mutable KeyedCipher keyedCipher;
};

// The send protocol information as the log shows it; the platform's own record is built from it.
struct SendPci {
  uint32_t dwProtocol = 0;
  uint32_t cbPciLength = 0;
};

struct EncoderState {
  // One call at a time: every member holds it for the whole call (recursive, as members call
  // members). Shared, so that the error object handed to C hosts can take it too.
  std::shared_ptr<std::recursive_mutex> calls = std::make_shared<std::recursive_mutex>();

  // Reader parameters.
  std::string Device = "<unknown>";
  int32_t Protocol = 1;
  bool ForceReconnect = false;
  int32_t OpenMode = 1;

  // PC/SC session.
  PcscHandle hContext = 0;
  PcscHandle hCard = 0;
  uint32_t ActiveProtocol = 0;

  SendPci sendPci;

  // MIFARE working fields: block numbers written as value blocks since the reader was opened;
  // no list while the reader is closed.
  std::optional<std::vector<int32_t>> ValueBlocks;
  // The host's overrides of the data-block access codes, entries 1 to 9 at indexes 0 to 8:
  // "" keeps the built-in default, otherwise three characters "0"/"1" (C1 C2 C3). Kept for the
  // object's whole life, across closing and reopening.
  std::array<std::string, 9> AccessConditions;

  // The one cipher object, created on first use (crypto's CipherOf). A shared_ptr carries its own
  // deleter, so this foundation needs no complete DES type.
  std::shared_ptr<DES> Cipher;

  // Card identification of the card in the field.
  std::string ATRString;
  int32_t CardType = sceUnknownType;
  int32_t SerialNumberLength = -1;

  DesfireSession Desfire;
  // Where authentication challenges come from; empty: the operating system's generator. Tests
  // fix it to replay a session.
  std::function<void(std::span<uint8_t>)> Random;
  // The card's 28 version bytes once read whole; kept for the object's life.
  std::vector<uint8_t> VersionBytes;

  // Created on first use; the host may keep it alive beyond the encoder.
  std::shared_ptr<CError> lastError;

  LogState log;
};

}  // namespace tarsin
