// SPDX-License-Identifier: Apache-2.0
// The component as a host uses it, on the stub PC/SC provider (support/stub_pcsc.cpp): a sandbox,
// and two encoders opened once per process (opening waits for the reader), on a DESFire card and
// on a MIFARE Classic 1K, whose answers each input then sets.
#pragma once

#include <dlfcn.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/encoder_access.h"
#include "registry/reg_file.h"
#include "registry/reg_file_io.h"
#include "support/temporary_folder.h"
#include "tarsin/encoder.h"

namespace tarsin::fuzz {

// A private registry and a log that goes nowhere (its folder does not exist, so lines are
// formatted but not written), for the life of the process.
class Sandbox {
 public:
  static Sandbox& Instance() {
    static Sandbox instance;
    return instance;
  }

 private:
  Sandbox() {
    ::setenv("TARSIN_RF_REGISTRY_DIR", scratch_.path().c_str(), 1);
    ::setenv("XDG_DATA_HOME", (scratch_.path() / "no-log").c_str(), 1);
  }
  testing::ScratchFolder scratch_;
};

class CardAnswers {
 public:
  static CardAnswers& Instance() {
    static CardAnswers instance;
    return instance;
  }

  Encoder& desfire() { return desfire_; }
  Encoder& classic() { return classic_; }

  // The answers of the next SCardTransmit calls, in the provider's stream format.
  void Feed(const uint8_t* data, size_t size) { feed_(data, size); }

  // Back to a card just opened: no DESFire application, no authentication, no value blocks.
  void Forget() {
    for (Encoder* encoder : {&desfire_, &classic_}) {
      EncoderState& state = StateOf(*encoder);
      state.Desfire = {};
      state.VersionBytes.clear();
      state.ValueBlocks.emplace();
    }
  }

 private:
  CardAnswers() {
    Sandbox::Instance();
    ::setenv("TARSIN_RF_PCSC_LIBRARY", TARSIN_FUZZ_PCSC_LIBRARY, 1);
    std::ifstream types(TARSIN_FUZZ_CARD_TYPES, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(types), {}};
    if (registry::ImportRegFile(registry::ParseRegFile(text)).status != 0) std::abort();

    void* provider = ::dlopen(TARSIN_FUZZ_PCSC_LIBRARY, RTLD_NOW);
    feed_ = provider ? reinterpret_cast<void (*)(const uint8_t*, size_t)>(
                           ::dlsym(provider, "tarsin_stub_pcsc_feed"))
                     : nullptr;
    if (!feed_) std::abort();
    Open(desfire_, "Fuzz DESFire");
    Open(classic_, "Fuzz Classic");
  }

  static void Open(Encoder& encoder, const std::string& reader) {
    encoder.Parameters("device=" + reader + ";protocol=2;open_mode=2");
    if (encoder.OpenEncoder(0) != scesuccess) {
      std::fprintf(stderr, "%s: %s\n", reader.c_str(), encoder.LastError()->Description.c_str());
      std::abort();
    }
  }

  void (*feed_)(const uint8_t*, size_t) = nullptr;
  Encoder desfire_;
  Encoder classic_;
};

}  // namespace tarsin::fuzz
