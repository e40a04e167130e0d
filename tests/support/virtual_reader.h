// A test bench for the component on the virtual reader: the in-process provider, a readers file,
// a registry with the default card-type table and a log file, all in a fresh folder per test.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "registry/reg_file.h"
#include "registry/reg_file_io.h"
#include "tarsin/encoder.h"

namespace tarsin::testing {

inline constexpr const char* kReader = "Tarsin Virtual Reader 0";

class VirtualReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarsin-vr-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    std::filesystem::create_directories(folder_ / "data/Quillon/Nemora");
    ::setenv("XDG_DATA_HOME", (folder_ / "data").c_str(), 1);
    ::setenv("TARSIN_RF_REGISTRY_DIR", folder_.c_str(), 1);
    ::setenv("TARSIN_RF_VIRTUAL_READERS", readersFile().c_str(), 1);
    ::setenv("TARSIN_RF_PCSC_LIBRARY", TARSIN_TEST_VPCSC_LIBRARY, 1);
    ImportCardTypes();
    WriteReaders({Reader(kReader, Classic1K())});
  }

  void TearDown() override {
    for (const char* name : {"XDG_DATA_HOME", "TARSIN_RF_REGISTRY_DIR", "TARSIN_RF_VIRTUAL_READERS",
                             "TARSIN_RF_PCSC_LIBRARY"}) {
      ::unsetenv(name);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  std::filesystem::path readersFile() const { return folder_ / "readers.json"; }
  std::filesystem::path logFile() const { return folder_ / "data/Quillon/Nemora/Tarsin RF.log"; }

  static nlohmann::json Reader(const std::string& name, nlohmann::json card) {
    return {{"name", name},          {"vendor", "Tarsin"}, {"ifdType", "Test reader"},
            {"ifdVersion", "2.1.300"}, {"serial", "SN-42"},  {"card", std::move(card)}};
  }
  static nlohmann::json Classic1K(const std::string& uid = "04A1B2C3") {
    return {{"type", "mifare-classic-1k"}, {"uid", uid}};
  }
  void WriteReaders(const std::vector<nlohmann::json>& readers) {
    std::ofstream(readersFile()) << nlohmann::json{{"readers", readers}}.dump(2);
  }
  nlohmann::json ReadReaders() const {
    std::ifstream in(readersFile());
    return nlohmann::json::parse(in);
  }

  // The provider's fault-injection entry points, from the same library the component loaded.
  template <class Fn>
  static Fn Fault(const char* name) {
    void* provider = ::dlopen(TARSIN_TEST_VPCSC_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
    if (!provider) provider = ::dlopen(TARSIN_TEST_VPCSC_LIBRARY, RTLD_NOW);
    return reinterpret_cast<Fn>(::dlsym(provider, name));
  }
  static void FailNextConnects(int count, uint32_t result) {
    Fault<int (*)(const char*, int, uint32_t)>("tarsin_vpcsc_fail_next_connects")(kReader, count,
                                                                                  result);
  }
  static void FailNextTransmits(uint32_t result, int count = 1) {
    Fault<int (*)(const char*, uint32_t, int)>("tarsin_vpcsc_fail_next_transmits")(kReader, result,
                                                                                   count);
  }
  static void ForceStatusWords(uint16_t statusWord, int count = 1) {
    Fault<int (*)(const char*, uint16_t, int)>("tarsin_vpcsc_force_status_words")(kReader,
                                                                                 statusWord, count);
  }
  static void SetCardPresent(bool present) {
    Fault<int (*)(const char*, int)>("tarsin_vpcsc_set_card_present")(kReader, present ? 1 : 0);
  }
  static void SetReaderPresent(bool present) {
    Fault<int (*)(const char*, int)>("tarsin_vpcsc_set_reader_present")(kReader, present ? 1 : 0);
  }
  static void RemoveCardDuringNextTransmit() {
    Fault<int (*)(const char*)>("tarsin_vpcsc_remove_card_during_next_transmit")(kReader);
  }

  // The log's lines from `first` on, timestamps replaced by "T" and CR LF removed.
  std::vector<std::string> LogLines(size_t first = 0) const {
    std::ifstream in(logFile());
    std::vector<std::string> lines;
    static const std::regex stamp(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)");
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(std::regex_replace(line, stamp, "T"));
    }
    if (first >= lines.size()) return {};
    return {lines.begin() + static_cast<std::ptrdiff_t>(first), lines.end()};
  }
  size_t LogSize() const { return LogLines().size(); }

  // An encoder on the test reader, opened.
  void Open(Encoder& encoder) {
    encoder.Parameters("device=" + std::string(kReader) + ";protocol=2;open_mode=2");
    ASSERT_EQ(encoder.OpenEncoder(0), scesuccess) << encoder.LastError()->Description;
  }

  std::filesystem::path folder_;

 private:
  static void ImportCardTypes() {
    std::ifstream in(TARSIN_TEST_CARD_TYPES);
    std::stringstream text;
    text << in.rdbuf();
    const auto outcome = registry::ImportRegFile(registry::ParseRegFile(text.str()));
    ASSERT_EQ(outcome.status, 0) << outcome.keyName;
  }
};

}  // namespace tarsin::testing
