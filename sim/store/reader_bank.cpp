// SPDX-License-Identifier: Apache-2.0
#include "store/reader_bank.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "card/card_factory.h"
#include "store/file_lock.h"

namespace tarsin::sim {

namespace {

std::uint32_t ParseVersion(const std::string& text) {
  unsigned major = 0, minor = 0, build = 0;
  char dot;
  std::istringstream in(text);
  in >> major >> dot >> minor >> dot >> build;
  return (major & 0xFF) << 24 | (minor & 0xFF) << 16 | (build & 0xFFFF);
}

std::string Text(const nlohmann::json& entry, const char* key, const std::string& otherwise = "") {
  auto found = entry.find(key);
  return found != entry.end() && found->is_string() ? found->get<std::string>() : otherwise;
}

bool Flag(const nlohmann::json& entry, const char* key, bool otherwise) {
  auto found = entry.find(key);
  return found != entry.end() && found->is_boolean() ? found->get<bool>() : otherwise;
}

nlohmann::json& Faults(nlohmann::json& entry) {
  if (!entry.contains("faults") || !entry["faults"].is_object())
    entry["faults"] = nlohmann::json::object();
  return entry["faults"];
}

// Pops the first element of the queue `key` of the reader's faults.
std::optional<nlohmann::json> TakeQueued(nlohmann::json& entry, const char* key) {
  auto& faults = Faults(entry);
  auto queue = faults.find(key);
  if (queue == faults.end() || !queue->is_array() || queue->empty()) return std::nullopt;
  nlohmann::json first = queue->front();
  queue->erase(queue->begin());
  return first;
}

// Loading the card (for its ATR, or to find it mute) is left to the caller that needs it.
ReaderView ViewOf(const nlohmann::json& entry, bool load_card = true) {
  ReaderView view;
  view.name = Text(entry, "name");
  view.vendor = Text(entry, "vendor");
  view.ifd_type = Text(entry, "ifdType");
  view.serial = Text(entry, "serial");
  view.ifd_version = ParseVersion(Text(entry, "ifdVersion", "0.0.0"));
  if (auto protocols = entry.find("protocols"); protocols != entry.end() && protocols->is_array()) {
    view.protocols = 0;
    for (const auto& protocol : *protocols) {
      if (protocol == "T0") view.protocols |= kProtocolT0;
      if (protocol == "T1") view.protocols |= kProtocolT1;
    }
  }
  view.present = Flag(entry, "present", true);
  view.insertions = entry.value("insertions", 0u);
  bool has_card = entry.contains("card") && !entry["card"].is_null();
  view.card_present = view.present && has_card && Flag(entry, "cardPresent", true);
  if (view.card_present && load_card) {
    try {
      view.atr = LoadCard(entry["card"])->Atr();
    } catch (const std::exception&) {
      view.card_mute = true;
    }
  }
  if (auto faults = entry.find("faults"); faults != entry.end() && faults->is_object()) {
    for (const auto& id : faults->value("missingAttributes", nlohmann::json::array())) {
      if (id.is_number_unsigned()) view.missing_attributes.push_back(id.get<std::uint32_t>());
    }
  }
  return view;
}

// The reader's faults hold `key`, and it is not empty or false.
bool Queued(const nlohmann::json& entry, const char* key) {
  auto faults = entry.find("faults");
  if (faults == entry.end() || !faults->is_object()) return false;
  auto found = faults->find(key);
  return found != faults->end() && *found != false && !(found->is_array() && found->empty());
}

// GET DATA, LOAD KEYS, GENERAL AUTHENTICATE, READ BINARY and READ VALUE: the reader's commands
// that never change what the card keeps.
bool LeavesMemory(const Bytes& apdu) {
  constexpr std::uint8_t kReading[] = {0xCA, 0x82, 0x86, 0xB0, 0xB1};
  return apdu.size() >= 2 && apdu[0] == 0xFF &&
         std::find(std::begin(kReading), std::end(kReading), apdu[1]) != std::end(kReading);
}

// A fault that decides the next command's outcome, or counts down to one, is queued.
bool HasTransmitFaults(const nlohmann::json& entry) {
  return Queued(entry, "transmitResults") || Queued(entry, "statusWords") ||
         Queued(entry, "flipAnswerBytes") || Queued(entry, "removeCardDuringTransmit");
}

}  // namespace

bool EditReader(const std::string& name, const std::function<void(nlohmann::json&)>& edit) {
  bool found = false;
  try {
    found = ReadersFile().UpdateReader(name, [&](nlohmann::json& entry) {
      edit(entry);
      return true;
    });
  } catch (const std::exception&) {
    return false;
  }
  return found;
}

std::vector<ReaderView> ReaderBank::Readers() {
  const auto contents = file_.Snapshot();
  std::lock_guard lock(mutex_);
  decltype(views_) views;
  for (const auto& entry : contents->readers) {
    if (!entry->is_object() || Text(*entry, "name").empty()) continue;
    auto seen = std::find_if(views_.begin(), views_.end(),
                             [&](const auto& view) { return view.first == entry; });
    views.emplace_back(entry, seen != views_.end() ? seen->second : ViewOf(*entry));
  }
  views_ = std::move(views);
  std::vector<ReaderView> result;
  for (const auto& view : views_) result.push_back(view.second);
  return result;
}

std::optional<ReaderView> ReaderBank::Reader(const std::string& name) {
  for (auto& view : Readers()) {
    if (view.name == name) return view;
  }
  return std::nullopt;
}

std::optional<std::uint32_t> ReaderBank::TakeConnectFault(const std::string& name) {
  std::optional<std::uint32_t> result;
  const auto queued = file_.Snapshot()->Find(name);
  if (!queued || !Queued(*queued, "connectResults")) return result;
  file_.UpdateReader(name, [&](nlohmann::json& entry) {
    auto code = TakeQueued(entry, "connectResults");
    if (!code) return false;
    result = code->is_number_unsigned() ? code->get<std::uint32_t>() : 0x80100001u;
    return true;
  });
  return result;
}

ReaderBank::Live& ReaderBank::LiveOf(const std::string& name) {
  std::lock_guard lock(mutex_);
  return live_[name];
}

void ReaderBank::ResetCard(const std::string& name) {
  Live& live = LiveOf(name);
  std::lock_guard turn(live.turn);
  try {
    // The card in the file is the one every process talks to: its reset is written there.
    auto commands = FileLock::Wait(ReadersFile::LockFileOf(file_.path()),
                                   ReadersFile::SlotOf(name, ReaderLock::kCommands), true);
    const auto entry = file_.Snapshot()->Find(name);
    const ReaderView view = entry ? ViewOf(*entry, false) : ReaderView{};
    if (!view.card_present) return;
    Present(live, entry, view.insertions);
    live.reader.card()->Reset();
    WriteBack(live, name);
  } catch (const std::exception&) {
    // A card that cannot be loaded has nothing to reset; a file error shows at the next command.
  }
}

void ReaderBank::Present(Live& live, const std::shared_ptr<const nlohmann::json>& entry,
                         std::uint32_t insertions) {
  const nlohmann::json& saved = entry->at("card");
  live.reader.set_options(
      {.authenticate_keyless_cards = Flag(*entry, "authenticateKeylessCards", false)});
  if (live.reader.card() && live.insertions == insertions && live.type == saved.value("type", "")) {
    if (live.entry == entry) return;
    if (saved == live.saved || live.reader.card()->Refresh(saved)) {
      live.entry = entry;
      live.saved = saved;
      return;
    }
  }
  live.entry.reset();
  // The file's card is in the field already, its session (whoever left it) is its own: leaving
  // the field clears that in the file. Throws for a card that cannot be loaded.
  live.reader.Insert(LoadCard(saved), false);
  live.insertions = insertions;
  live.type = saved.value("type", "");
  live.entry = entry;
  live.saved = saved;
  live.loaded = true;
}

void ReaderBank::Answer(Live& live, const std::string& name, const Bytes& apdu,
                        TransmitResult& result) {
  result.answer = live.reader.Transmit(apdu);
  // A blank card given without memory is written whole after its first command; later, the
  // reader's own commands that only read or authenticate leave the memory as it was.
  if (!std::exchange(live.loaded, false) && LeavesMemory(apdu)) return;
  WriteBack(live, name);
}

void ReaderBank::WriteBack(Live& live, const std::string& name) {
  live.loaded = false;
  auto after = live.reader.card()->Save();
  if (after == live.saved) return;
  const nlohmann::json before = std::exchange(live.saved, after);
  live.entry.reset();
  file_.UpdateReader(name, [&](nlohmann::json& entry) {
    // Another card went in meanwhile (the file edited by hand): this one's memory goes with it.
    if (!entry.contains("card") || entry["card"] != before) return false;
    entry["card"] = std::move(after);
    return true;
  });
}

void ReaderBank::TransmitWithFaults(Live& live, const std::string& name, const Bytes& apdu,
                                    TransmitResult& result) {
  result.outcome = Outcome::kNoReader;  // unless the reader is still there
  live.entry.reset();
  file_.UpdateReader(name, [&](nlohmann::json& entry) {
    const ReaderView view = ViewOf(entry);
    if (!view.present || !view.card_present || view.card_mute) {
      result.outcome = !view.present        ? Outcome::kNoReader
                       : !view.card_present ? Outcome::kNoCard
                                            : Outcome::kMuteCard;
      return false;
    }
    result.outcome = Outcome::kOk;
    if (auto code = TakeQueued(entry, "transmitResults")) {
      result.outcome = Outcome::kInjectedFailure;
      result.code = code->is_number_unsigned() ? code->get<std::uint32_t>() : 0x80100001u;
      return true;
    }
    if (auto status = TakeQueued(entry, "statusWords")) {
      auto bytes = status->is_string() ? FromHex(status->get<std::string>()) : std::nullopt;
      result.answer = bytes.value_or(Bytes{0x6F, 0x00});
      return true;
    }
    // true: this transmit loses the card; a number: that many transmits are answered first.
    auto& faults = Faults(entry);
    if (const auto removal = faults.find("removeCardDuringTransmit"); removal != faults.end()) {
      if (removal->is_number_unsigned() && removal->get<std::uint32_t>() > 0) {
        *removal = removal->get<std::uint32_t>() - 1;
      } else if (*removal != false) {
        faults.erase(removal);
        entry["cardPresent"] = false;
        if (entry["card"].is_object()) entry["card"].erase("session");
        result.outcome = Outcome::kRemovedMidCommand;
        return true;
      }
    }
    Present(live, std::make_shared<const nlohmann::json>(entry), view.insertions);
    live.entry.reset();
    result.answer = live.reader.Transmit(apdu);
    entry["card"] = live.saved = live.reader.card()->Save();
    if (auto flip = TakeQueued(entry, "flipAnswerBytes"); flip && flip->is_number_integer()) {
      const auto size = static_cast<std::int64_t>(result.answer.size());
      const std::int64_t at = flip->get<std::int64_t>() + (*flip < 0 ? size : 0);
      if (at >= 0 && at < size) result.answer[static_cast<std::size_t>(at)] ^= 0xFF;
    }
    return true;
  });
}

TransmitResult ReaderBank::Transmit(const std::string& name, const Bytes& apdu) {
  Live& live = LiveOf(name);
  std::lock_guard turn(live.turn);
  TransmitResult result;
  try {
    auto commands = FileLock::Wait(ReadersFile::LockFileOf(file_.path()),
                                   ReadersFile::SlotOf(name, ReaderLock::kCommands), true);
    const auto entry = file_.Snapshot()->Find(name);
    const ReaderView view = entry ? ViewOf(*entry, false) : ReaderView{};
    if (!entry || !view.present) {
      result.outcome = Outcome::kNoReader;
    } else if (!view.card_present) {
      result.outcome = Outcome::kNoCard;
    } else if (HasTransmitFaults(*entry)) {
      TransmitWithFaults(live, name, apdu, result);
    } else {
      try {
        Present(live, entry, view.insertions);
      } catch (const std::exception&) {
        result.outcome = Outcome::kMuteCard;
        return result;
      }
      Answer(live, name, apdu, result);
    }
  } catch (const std::exception&) {
    result = TransmitResult{.outcome = Outcome::kFileError};
  }
  return result;
}

}  // namespace tarsin::sim
