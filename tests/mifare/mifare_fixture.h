// The MIFARE tests' bench: an opened encoder on the virtual reader, the card's saved memory,
// and the keys the tests write.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "support/virtual_reader.h"

namespace tarsin {

inline constexpr const char* kTransport = "FFFFFFFFFFFF";
inline constexpr const char* kKeyA = "A0A1A2A3A4A5";
inline constexpr const char* kKeyB = "B0B1B2B3B4B5";
inline constexpr uint8_t kUseKeyA = 1;  // for reads and for writes
inline constexpr uint8_t kReadWithB = 0;
inline constexpr uint8_t kWriteWithB = 2;

struct Rights {
  uint8_t keysUsed = 0;
  SCBS_SecurityLevelEnum security[3] = {};
  SCSS_SecurityLevelEnum conditions = {};
  uint8_t bx = 0;
};

class Mifare : public testing::VirtualReaderTest {
 protected:
  void SetUp() override {
    VirtualReaderTest::SetUp();
    // Created after the bench has pointed the log at the test's folder.
    encoder_ = std::make_unique<Encoder>();
    Open(*encoder_);
  }

  // Reopens on a card of another kind.
  void UseCard(const nlohmann::json& card) {
    encoder_->CloseEncoder();
    WriteReaders({testing::Reader(testing::kReader, card)});
    Open(*encoder_);
  }

  // What the card holds, from its saved memory, independent of the component ("" while the
  // card has never been written and is saved as blank).
  std::string CardBlock(int block) const {
    const nlohmann::json readers = ReadReaders();
    const auto& blocks = readers["readers"][0]["card"]["blocks"];
    return blocks.is_array() ? blocks[block].get<std::string>() : "";
  }

  Rights ReadRights(int sector, const std::string& key = kKeyA, uint8_t keyType = kUseKeyA) {
    Rights r;
    EXPECT_EQ(encoder_->MifareReadSectorTrailer(sector, key, keyType, r.keysUsed, r.security[0],
                                                r.security[1], r.security[2], r.conditions, r.bx),
              scesuccess)
        << encoder_->LastError()->Description;
    return r;
  }

  // The code C1C2C3 of block `i` of the trailer saved at `trailerBlock`.
  std::string AccessCodeOfBlock(int trailerBlock, int i) const {
    const std::string trailer = CardBlock(trailerBlock);
    const int byte7 = std::stoi(trailer.substr(14, 2), nullptr, 16);
    const int byte8 = std::stoi(trailer.substr(16, 2), nullptr, 16);
    return {char('0' + ((byte7 >> (4 + i)) & 1)), char('0' + ((byte8 >> i) & 1)),
            char('0' + ((byte8 >> (4 + i)) & 1))};
  }

  void ExpectError(uint32_t number, const std::string& function, const std::string& command,
                   const std::string& retCode) {
    const CError& e = *encoder_->LastError();
    EXPECT_EQ(static_cast<uint32_t>(e.Number), number) << e.Description;
    EXPECT_EQ(e.ComFunction, function);
    EXPECT_EQ(e.RdrCommand, command);
    EXPECT_EQ(e.RdrRetCode, retCode);
  }

  std::unique_ptr<Encoder> encoder_;
};

inline std::string Digits(int block) {
  char text[33];
  std::snprintf(text, sizeof text, "%02X%030X", block, 0xC0FFEE);
  return text;
}

}  // namespace tarsin
