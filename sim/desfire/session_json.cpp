// SPDX-License-Identifier: Apache-2.0
// The session in the readers file: only what differs from a card just powered up is written, so
// that a card nobody talks to keeps the file as it was.
#include <stdexcept>

#include "card/card_json.h"
#include "desfire/state_json.h"

namespace tarsin::sim::desfire {

using nlohmann::json;

namespace {

template <typename Array>
Array FixedHex(const json& in, const char* name) {
  const Bytes bytes = HexField(in, name);
  Array out{};
  if (bytes.size() != out.size()) throw std::invalid_argument(std::string(name) + ": wrong size");
  std::copy(bytes.begin(), bytes.end(), out.begin());
  return out;
}

CipherKind CipherOf(const json& in) {
  const int kind = in.at("cipher").get<int>();
  if (kind < 0 || kind > static_cast<int>(CipherKind::kAes)) {
    throw std::invalid_argument("unknown cipher");
  }
  return static_cast<CipherKind>(kind);
}

// A cipher's key and vector of the sizes it takes, or the file is not a card's.
void CheckSizes(CipherKind kind, const Bytes& key, const Bytes& iv) {
  if (key.size() != KeyLengthOf(kind) || iv.size() != BlockSizeOf(kind)) {
    throw std::invalid_argument("a session key or vector of the wrong size");
  }
}

std::string HexOf(std::span<const uint8_t> bytes) {
  return ToHex(Bytes(bytes.begin(), bytes.end()));
}

}  // namespace

json SaveSession(const Session& session) {
  json out = json::object();
  if (session.selected != 0) out["selected"] = session.selected;
  if (session.authenticatedKey) {
    out["key"] = *session.authenticatedKey;
    out["sessionKey"] = HexOf(session.sessionKey);
  }
  if (const auto& ev1 = session.ev1) {
    out["ev1"] = {
        {"cipher", static_cast<int>(ev1->kind)}, {"key", ToHex(ev1->key)}, {"iv", ToHex(ev1->iv)}};
  }
  if (const auto& step = session.ev1Authentication) {
    out["ev1Authentication"] = {{"key", step->keyNumber},
                                {"cipher", static_cast<int>(step->kind)},
                                {"value", ToHex(step->key)},
                                {"rndB", ToHex(step->rndB)},
                                {"iv", ToHex(step->iv)}};
  }
  if (const auto& step = session.authentication) {
    out["authentication"] = {
        {"key", step->keyNumber}, {"value", HexOf(step->key)}, {"rndB", HexOf(step->rndB)}};
  }
  for (const auto& [number, pending] : session.pending) {
    out["pending"].push_back({{"file", SaveFile(number, pending.file)},
                              {"recordOpen", pending.recordOpen},
                              {"debited", pending.debited},
                              {"limitedCreditUsed", pending.limitedCreditUsed}});
  }
  if (const auto& incoming = session.incoming) {
    out["incoming"] = {{"instruction", incoming->instruction},
                       {"length", incoming->expectedLength},
                       {"data", ToHex(incoming->data)}};
  }
  if (!session.outgoing.empty()) {
    for (const Bytes& frame : session.outgoing) out["outgoing"].push_back(ToHex(frame));
    out["outgoingStatus"] = session.outgoingStatus;
  }
  if (!session.randomUid.empty()) out["randomUid"] = ToHex(session.randomUid);
  return out;
}

Session LoadSession(const json& in) {
  Session session;
  session.selected = in.value("selected", uint32_t{0});
  if (in.contains("key")) {
    session.authenticatedKey = in.at("key").get<uint8_t>();
    session.sessionKey = FixedHex<LegacyKey>(in, "sessionKey");
  }
  if (in.contains("ev1")) {
    const json& ev1 = in.at("ev1");
    session.ev1 =
        Ev1Session{.kind = CipherOf(ev1), .key = HexField(ev1, "key"), .iv = HexField(ev1, "iv")};
    CheckSizes(session.ev1->kind, session.ev1->key, session.ev1->iv);
  }
  if (in.contains("ev1Authentication")) {
    const json& step = in.at("ev1Authentication");
    session.ev1Authentication = Ev1AuthenticationStep{.keyNumber = step.at("key").get<uint8_t>(),
                                                      .kind = CipherOf(step),
                                                      .key = HexField(step, "value"),
                                                      .rndB = HexField(step, "rndB"),
                                                      .iv = HexField(step, "iv")};
    const auto& loaded = *session.ev1Authentication;
    CheckSizes(loaded.kind, loaded.key, loaded.iv);
    if (loaded.rndB.size() != RandomLengthOf(loaded.kind)) {
      throw std::invalid_argument("RndB of the wrong size");
    }
  }
  if (in.contains("authentication")) {
    const json& step = in.at("authentication");
    session.authentication =
        AuthenticationStep{.keyNumber = step.at("key").get<uint8_t>(),
                           .key = FixedHex<Key>(step, "value"),
                           .rndB = FixedHex<std::array<uint8_t, 8>>(step, "rndB")};
  }
  for (const json& pending : in.value("pending", json::array())) {
    const json& file = pending.at("file");
    session.pending[file.at("number").get<uint8_t>()] =
        PendingFile{.file = LoadFile(file),
                    .recordOpen = pending.at("recordOpen").get<bool>(),
                    .debited = pending.at("debited").get<int64_t>(),
                    .limitedCreditUsed = pending.at("limitedCreditUsed").get<bool>()};
  }
  if (in.contains("incoming")) {
    const json& incoming = in.at("incoming");
    session.incoming = IncomingCommand{.instruction = incoming.at("instruction").get<uint8_t>(),
                                       .expectedLength = incoming.at("length").get<size_t>(),
                                       .data = HexField(incoming, "data")};
  }
  for (const json& frame : in.value("outgoing", json::array())) {
    auto bytes = FromHex(frame.get<std::string>());
    if (!bytes) throw std::invalid_argument("outgoing: not hex");
    session.outgoing.push_back(std::move(*bytes));
  }
  session.outgoingStatus = in.value("outgoingStatus", status::kOk);
  if (in.contains("randomUid")) session.randomUid = HexField(in, "randomUid");
  return session;
}

}  // namespace tarsin::sim::desfire
