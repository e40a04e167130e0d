// SPDX-License-Identifier: Apache-2.0
// A test bench for the component on the virtual reader: the in-process provider, a readers file,
// a registry with the default card-type table and a log file, all in a fresh folder per test.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "registry/reg_file.h"
#include "registry/reg_file_io.h"
#include "support/scoped_provider.h"
#include "support/scratch_folder.h"
#include "tarsin/encoder.h"

namespace tarsin::testing {

inline constexpr const char* kReader = "Tarsin Virtual Reader 0";

class VirtualReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto outcome =
        registry::ImportRegFile(registry::ParseRegFile(FileContent(TARSIN_TEST_CARD_TYPES)));
    ASSERT_EQ(outcome.status, 0) << outcome.keyName;
    readers_.WriteReaders({Reader(kReader, Classic1K())});
  }

  std::vector<std::string> LogLines(size_t first = 0) const { return log_.lines(first); }
  size_t LogSize() const { return log_.lines().size(); }
  // The frames sent from log line `first` on, in order, as the log shows them.
  std::vector<std::string> SentFrames(size_t first) const {
    std::vector<std::string> frames;
    for (const std::string& line : LogLines(first)) {
      const size_t at = line.find("pbSendBuffer:= \"");
      if (at != std::string::npos) {
        frames.push_back(line.substr(at + 16, line.find('"', at + 16) - at - 16));
      }
    }
    return frames;
  }

  // The provider's fault-injection entry points, looked up in the same library the component
  // loaded and called for the test reader; each answers 1 when it took the fault.
  template <class... Args>
  static void Fault(const char* name, Args... args) {
    void* provider = ::dlopen(TARSIN_TEST_VPCSC_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
    if (!provider) provider = ::dlopen(TARSIN_TEST_VPCSC_LIBRARY, RTLD_NOW);
    void* entry = provider ? ::dlsym(provider, name) : nullptr;
    ASSERT_NE(entry, nullptr) << name << " is not exported by the provider";
    EXPECT_EQ(reinterpret_cast<int (*)(const char*, Args...)>(entry)(kReader, args...), 1) << name;
  }
  static void FailNextConnects(int count, uint32_t result) {
    Fault("tarsin_vpcsc_fail_next_connects", count, result);
  }
  static void FailNextTransmits(uint32_t result, int count = 1) {
    Fault("tarsin_vpcsc_fail_next_transmits", result, count);
  }
  static void ForceStatusWords(uint16_t statusWord, int count = 1) {
    Fault("tarsin_vpcsc_force_status_words", statusWord, count);
  }
  static void SetCardPresent(bool present) { Fault("tarsin_vpcsc_set_card_present", int{present}); }
  static void SetReaderPresent(bool present) {
    Fault("tarsin_vpcsc_set_reader_present", int{present});
  }
  static void RemoveCardDuringNextTransmit() {
    Fault("tarsin_vpcsc_remove_card_during_next_transmit");
  }

  void Open(Encoder& encoder) {
    encoder.Parameters("device=" + std::string(kReader) + ";protocol=2;open_mode=2");
    ASSERT_EQ(encoder.OpenEncoder(0), scesuccess) << encoder.LastError()->Description;
  }

  LogFolder log_;
  ReadersFile readers_{log_.root()};
  ScopedProvider provider_{TARSIN_TEST_VPCSC_LIBRARY};
};

}  // namespace tarsin::testing
