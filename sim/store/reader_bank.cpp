#include "store/reader_bank.h"

#include <sstream>
#include <stdexcept>

#include "card/card_factory.h"

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

ReaderView ViewOf(const nlohmann::json& entry) {
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
  if (view.card_present) {
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

}  // namespace

nlohmann::json* FindReader(nlohmann::json& contents, const std::string& name) {
  auto readers = contents.find("readers");
  if (readers == contents.end() || !readers->is_array()) return nullptr;
  for (auto& entry : *readers) {
    if (entry.is_object() && Text(entry, "name") == name) return &entry;
  }
  return nullptr;
}

bool EditReader(const std::string& name, const std::function<void(nlohmann::json&)>& edit) {
  bool found = false;
  try {
    ReadersFile().Update([&](nlohmann::json& contents) {
      auto* entry = FindReader(contents, name);
      if (!entry) return false;
      found = true;
      edit(*entry);
      return true;
    });
  } catch (const std::exception&) {
    return false;
  }
  return found;
}

std::vector<ReaderView> ReaderBank::Readers() {
  auto contents = file_.Read();
  std::vector<ReaderView> views;
  if (auto readers = contents.find("readers"); readers != contents.end() && readers->is_array()) {
    for (const auto& entry : *readers) {
      if (entry.is_object() && !Text(entry, "name").empty()) views.push_back(ViewOf(entry));
    }
  }
  return views;
}

std::optional<ReaderView> ReaderBank::Reader(const std::string& name) {
  for (auto& view : Readers()) {
    if (view.name == name) return view;
  }
  return std::nullopt;
}

std::optional<std::uint32_t> ReaderBank::TakeConnectFault(const std::string& name) {
  std::optional<std::uint32_t> result;
  file_.Update([&](nlohmann::json& contents) {
    auto* entry = FindReader(contents, name);
    if (!entry) return false;
    auto code = TakeQueued(*entry, "connectResults");
    if (!code) return false;
    result = code->is_number_unsigned() ? code->get<std::uint32_t>() : 0x80100001u;
    return true;
  });
  return result;
}

void ReaderBank::ResetCard(const std::string& name) {
  std::lock_guard lock(mutex_);
  if (auto live = live_.find(name); live != live_.end() && live->second.reader.card()) {
    live->second.reader.card()->Reset();
  }
}

TransmitResult ReaderBank::Transmit(const std::string& name, const Bytes& apdu) {
  std::lock_guard lock(mutex_);
  TransmitResult result;
  try {
    file_.Update([&](nlohmann::json& contents) {
      auto* entry = FindReader(contents, name);
      ReaderView view = entry ? ViewOf(*entry) : ReaderView{};
      if (!entry || !view.present) {
        result.outcome = Outcome::kNoReader;
        return false;
      }
      if (!view.card_present) {
        result.outcome = Outcome::kNoCard;
        return false;
      }
      if (view.card_mute) {
        result.outcome = Outcome::kMuteCard;
        return false;
      }
      if (auto code = TakeQueued(*entry, "transmitResults")) {
        result.outcome = Outcome::kInjectedFailure;
        result.code = code->is_number_unsigned() ? code->get<std::uint32_t>() : 0x80100001u;
        return true;
      }
      if (auto status = TakeQueued(*entry, "statusWords")) {
        auto bytes = status->is_string() ? FromHex(status->get<std::string>()) : std::nullopt;
        result.answer = bytes.value_or(Bytes{0x6F, 0x00});
        return true;
      }
      auto& faults = Faults(*entry);
      // true: this transmit loses the card; a number: that many transmits are answered first.
      bool faultsChanged = false;
      if (const auto removal = faults.find("removeCardDuringTransmit"); removal != faults.end()) {
        if (removal->is_number_unsigned() && removal->get<std::uint32_t>() > 0) {
          *removal = removal->get<std::uint32_t>() - 1;
          faultsChanged = true;
        } else if (*removal != false) {
          faults.erase(removal);
          (*entry)["cardPresent"] = false;
          result.outcome = Outcome::kRemovedMidCommand;
          return true;
        }
      }

      const nlohmann::json& saved = (*entry)["card"];
      Live& live = live_[name];
      live.reader.set_options(
          {.authenticate_keyless_cards = Flag(*entry, "authenticateKeylessCards", false)});
      bool same_card = live.reader.card() && live.insertions == view.insertions &&
                       live.type == saved.value("type", "") && live.reader.card()->Refresh(saved);
      if (!same_card) {
        live.reader.Insert(LoadCard(saved));
        live.insertions = view.insertions;
        live.type = saved.value("type", "");
      }
      result.answer = live.reader.Transmit(apdu);
      auto after = live.reader.card()->Save();
      if (after == saved) return faultsChanged;
      (*entry)["card"] = std::move(after);
      return true;
    });
  } catch (const std::exception&) {
    result = TransmitResult{.outcome = Outcome::kFileError};
  }
  return result;
}

}  // namespace tarsin::sim
