// SPDX-License-Identifier: Apache-2.0
// The virtual readers of one process: their description and cards come from the readers file
// as it is at every call, so that what another process wrote is seen; the reader's own state
// (key slots) stays in this process, and so does what a card leaves out of its saved state. Shared
// by the in-process provider and the pcscd driver, which only translate its outcomes into their own
// codes. Readers work side by side as real ones do: a command waits only for commands on the same
// reader, and rewrites the file only when it changed the card's state or used up a fault.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "card/bytes.h"
#include "reader/virtual_reader.h"
#include "store/readers_file.h"

namespace tarsin::sim {

constexpr unsigned kProtocolT0 = 1;
constexpr unsigned kProtocolT1 = 2;

struct ReaderView {
  std::string name, vendor, ifd_type, serial;
  std::uint32_t ifd_version = 0;  // major << 24 | minor << 16 | build
  unsigned protocols = kProtocolT0 | kProtocolT1;
  bool present = true;
  bool card_present = false;
  bool card_mute = false;        // a card whose saved state cannot be loaded
  std::uint32_t insertions = 0;  // counts card insertions, so that a swap is noticed
  Bytes atr;
  std::vector<std::uint32_t> missing_attributes;
};

enum class Outcome {
  kOk,
  kNoReader,           // unknown or removed reader
  kNoCard,             // no card in the field
  kMuteCard,           // the card's saved state is unusable
  kInjectedFailure,    // a fault asked for this command to fail with `code`
  kRemovedMidCommand,  // a fault took the card away during this command
  kFileError,          // the readers file cannot be read
};

struct TransmitResult {
  Outcome outcome = Outcome::kOk;
  std::uint32_t code = 0;
  Bytes answer;
};

class ReaderBank {
 public:
  explicit ReaderBank(ReadersFile file) : file_(std::move(file)) {}
  const ReadersFile& file() const { return file_; }

  // All readers of the file, present or not. Throws std::runtime_error on a file error.
  std::vector<ReaderView> Readers();
  std::optional<ReaderView> Reader(const std::string& name);
  // The next injected connect result for this reader, consumed; nullopt when none is queued.
  std::optional<std::uint32_t> TakeConnectFault(const std::string& name);
  // Field reset: the card loses its volatile state.
  void ResetCard(const std::string& name);
  TransmitResult Transmit(const std::string& name, const Bytes& apdu);

 private:
  struct Live {
    std::mutex turn;  // one command at a time on this reader in this process
    VirtualReader reader;
    std::uint32_t insertions = 0;
    std::string type;
    std::shared_ptr<const nlohmann::json> entry;  // the reader's entry when last seen
    nlohmann::json saved;                         // its card then
    bool loaded = false;  // the card was just loaded: its memory may be more than the file says
  };

  Live& LiveOf(const std::string& name);
  // Puts the card of `entry` into the reader unless it holds it already.
  static void Present(Live& live, const std::shared_ptr<const nlohmann::json>& entry,
                      std::uint32_t insertions);
  // The card's answer; its memory written back when the command changed it.
  void Answer(Live& live, const std::string& name, const Bytes& apdu, TransmitResult& result);
  // The card's state into the file when it differs from what the file holds.
  void WriteBack(Live& live, const std::string& name);
  // A command on a reader with faults queued, all under the file's lock.
  void TransmitWithFaults(Live& live, const std::string& name, const Bytes& apdu,
                          TransmitResult& result);

  ReadersFile file_;
  std::mutex mutex_;  // guards the map and the views, never held during a command
  std::map<std::string, Live> live_;
  // Each view with the entry it was taken from.
  std::vector<std::pair<std::shared_ptr<const nlohmann::json>, ReaderView>> views_;
};

// Lets `edit` change the entry of reader `name` in the default readers file, under its lock;
// false when there is no such reader or the file cannot be read or written.
bool EditReader(const std::string& name, const std::function<void(nlohmann::json&)>& edit);

}  // namespace tarsin::sim
