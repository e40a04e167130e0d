// A readers file of its own for each test, named through TARSIN_RF_VIRTUAL_READERS.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

namespace tarsin::sim::testing {

class TemporaryReaders : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tarsin-sim-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    path_ = folder_ / "readers.json";
    ::setenv("TARSIN_RF_VIRTUAL_READERS", path_.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("TARSIN_RF_VIRTUAL_READERS");
    std::filesystem::remove_all(folder_);
  }
  void WriteReaders(const nlohmann::json& contents) { std::ofstream(path_) << contents.dump(2); }
  nlohmann::json ReadReaders() {
    std::ifstream in(path_);
    return nlohmann::json::parse(in);
  }
  // One reader per entry: {name, card json or null}.
  static nlohmann::json Reader(const std::string& name, nlohmann::json card) {
    return {{"name", name},
            {"vendor", "Tarsin"},
            {"ifdType", "Test reader"},
            {"ifdVersion", "2.1.300"},
            {"serial", "SN-42"},
            {"card", std::move(card)}};
  }
  static nlohmann::json Classic1K(const std::string& uid = "04A1B2C3") {
    return {{"type", "mifare-classic-1k"}, {"uid", uid}};
  }

  std::filesystem::path folder_;
  std::filesystem::path path_;
};

}  // namespace tarsin::sim::testing
