#include "card_fixture.h"

namespace tarsin::sim::testing {
namespace {

// Files of application 0x010203; access with key 1 unless free.
class DataTest : public CardTest {
 protected:
  void SetUp() override {
    EnterApplication();
    Create(0xCD, 0x00, 0x00, 0xEEEE, Uint24(300));  // standard, free
    Create(0xCD, 0x01, 0x01, 0x1111, Uint24(40));   // standard, MACed, key 1
    Create(0xCD, 0x02, 0x03, 0x1111, Uint24(40));   // standard, enciphered, key 1
    Create(0xCB, 0x03, 0x00, 0xEEEE, Uint24(16));   // backup, free
    Create(0xC1, 0x04, 0x00, 0xEEEE, Concat({Uint24(4), Uint24(2)}));  // linear
    Create(0xC0, 0x05, 0x00, 0xEEEE, Concat({Uint24(2), Uint24(3)}));  // cyclic, keeps 2
    Create(0xCD, 0x06, 0x00, 0x2222, Uint24(8));                       // key 2 only
  }

  // `rights` as the card's two bytes: ReadWrite Change, Read Write.
  void Create(uint8_t instruction, uint8_t number, uint8_t communication, uint16_t rights,
              const Bytes& sizes) {
    ASSERT_EQ(host.Frame(instruction,
                         Concat({{number, communication},
                                 {static_cast<uint8_t>(rights >> 8), static_cast<uint8_t>(rights)},
                                 sizes}))
                  .sw,
              kOk);
  }

  static Bytes Header(uint8_t file, uint32_t offset, uint32_t length) {
    return Concat({{file}, Uint24(offset), Uint24(length)});
  }

  Answer Write(uint8_t file, uint32_t offset, const Bytes& data, size_t frame = 52) {
    return host.Command(
        0x3D, Concat({Header(file, offset, static_cast<uint32_t>(data.size())), data}), frame);
  }
};

TEST_F(DataTest, ThreeHundredBytesTravelInFramesBothWays) {
  Bytes data(300);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  // First frame: header and 45 bytes; then 59-byte frames, each answered 91AF until the last.
  const Bytes payload = Concat({Header(0, 0, 300), data});
  EXPECT_EQ(host.Frame(0x3D, Bytes(payload.begin(), payload.begin() + 52)).sw, 0x91AF);
  size_t sent = 52;
  while (payload.size() - sent > 59) {
    EXPECT_EQ(host.Frame(0xAF, Bytes(payload.begin() + static_cast<long>(sent),
                                     payload.begin() + static_cast<long>(sent + 59)))
                  .sw,
              0x91AF);
    sent += 59;
  }
  EXPECT_EQ(host.Frame(0xAF, Bytes(payload.begin() + static_cast<long>(sent), payload.end())).sw,
            kOk);

  const Answer first = host.Frame(0xBD, Header(0, 0, 0));
  EXPECT_EQ(first.sw, 0x91AF);
  EXPECT_EQ(first.data.size(), 59u);
  EXPECT_EQ(host.Command(0xBD, Header(0, 0, 0)).data, data);
  EXPECT_EQ(host.Command(0xBD, Header(0, 290, 10)).data, Bytes(data.begin() + 290, data.end()));
}

TEST_F(DataTest, FramingErrors) {
  EXPECT_EQ(host.Frame(0x3D, Concat({Header(0, 0, 4), Bytes(5, 1)})).sw, 0x917E) << "too much";
  EXPECT_EQ(host.Frame(0x3D, Concat({Header(0, 0, 4), Bytes(2, 1)})).sw, 0x91AF);
  EXPECT_EQ(host.Frame(0xAF).sw, 0x917E) << "an empty frame while data is missing";
  EXPECT_EQ(host.Frame(0x3D, Concat({Header(0, 0, 60), Bytes(53, 1)})).sw, 0x917E)
      << "larger than the card's frame";
  EXPECT_EQ(host.Frame(0xAF, {0x01}).sw, 0x911C) << "nothing to continue";
}

TEST_F(DataTest, MacedFileAddsAndRequiresTheMac) {
  ASSERT_TRUE(host.Authenticate(1, kZeroKey));
  const Bytes data = Hex("01 02 03 04 05 06 07 08 09 0A");
  // Plain data where a MAC is due: the card waits for the MAC, and an empty frame ends it.
  EXPECT_EQ(host.Frame(0x3D, Concat({Header(1, 0, 10), data})).sw, 0x91AF);
  EXPECT_EQ(host.Frame(0xAF).sw, 0x917E);
  ASSERT_TRUE(host.Authenticate(1, kZeroKey));
  const Bytes mac = host.Mac(data);
  Bytes wrongMac = mac;
  wrongMac[0] ^= 1;
  EXPECT_EQ(host.Frame(0x3D, Concat({Header(1, 0, 10), data, wrongMac})).sw, 0x911E);
  ASSERT_TRUE(host.Authenticate(1, kZeroKey));
  EXPECT_EQ(host.Frame(0x3D, Concat({Header(1, 0, 10), data, mac})).sw, kOk);

  const Answer read = host.Frame(0xBD, Header(1, 0, 10));
  ASSERT_EQ(read.sw, kOk);
  EXPECT_EQ(read.data, Concat({data, mac}));
}

TEST_F(DataTest, EncipheredFileTravelsUnderTheSessionKey) {
  ASSERT_TRUE(host.Authenticate(1, kZeroKey));
  const Bytes data = Hex("A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC");
  EXPECT_EQ(host.Frame(0x3D, Concat({Header(2, 4, 12), data})).sw, 0x91AF) << "plain is short";
  ASSERT_TRUE(host.Authenticate(1, kZeroKey));
  EXPECT_EQ(host.Frame(0x3D, Concat({Header(2, 4, 12), host.EncipheredData(data)})).sw, kOk);

  const Answer read = host.Frame(0xBD, Header(2, 4, 12));
  ASSERT_EQ(read.sw, kOk);
  ASSERT_EQ(read.data.size(), 16u);
  EXPECT_EQ(host.ReceiveCryptogram(read.data), Concat({TestHost::WithCrc(data), {0, 0}}));
}

TEST_F(DataTest, BackupFileChangesOnCommitOnly) {
  EXPECT_EQ(Write(3, 0, Hex("11 22")).sw, kOk);
  EXPECT_EQ(host.Frame(0xBD, Header(3, 0, 2)).data, Hex("00 00")) << "not committed yet";
  EXPECT_EQ(host.Frame(0xC7).sw, kOk);
  EXPECT_EQ(host.Frame(0xBD, Header(3, 0, 2)).data, Hex("11 22"));

  EXPECT_EQ(Write(3, 0, Hex("33 44")).sw, kOk);
  EXPECT_EQ(host.Frame(0xA7).sw, kOk);
  EXPECT_EQ(host.Frame(0xC7).sw, 0x910C) << "nothing pending after the abort";
  EXPECT_EQ(host.Frame(0xBD, Header(3, 0, 2)).data, Hex("11 22"));

  // Selecting again, authenticating or a field reset drops what was pending.
  const std::function<void()> interruptions[] = {
      [&] { host.Select(kAid); },
      [&] { ASSERT_TRUE(host.Authenticate(0, kZeroKey)); },
      [&] {
        card.Reset();
        host.Select(kAid);
      },
  };
  for (const auto& interrupt : interruptions) {
    EXPECT_EQ(Write(3, 0, Hex("55 66")).sw, kOk);
    interrupt();
    EXPECT_EQ(host.Frame(0xC7).sw, 0x910C);
    EXPECT_EQ(host.Frame(0xBD, Header(3, 0, 2)).data, Hex("11 22"));
  }
}

TEST_F(DataTest, LinearRecordsFillUpAndClear) {
  const auto writeRecord = [&](const Bytes& record) {
    return host.Frame(0x3B, Concat({Header(4, 0, static_cast<uint32_t>(record.size())), record}));
  };
  EXPECT_EQ(host.Frame(0xBB, Header(4, 0, 0)).sw, 0x91BE) << "no record yet";
  EXPECT_EQ(writeRecord(Hex("01 01")).sw, kOk);
  EXPECT_EQ(host.Frame(0x3B, Concat({Header(4, 2, 2), Hex("02 02")})).sw, kOk)
      << "the same transaction fills the same record";
  EXPECT_EQ(host.Frame(0xC7).sw, kOk);
  EXPECT_EQ(writeRecord(Hex("03 03 03 03")).sw, kOk);
  EXPECT_EQ(host.Frame(0xC7).sw, kOk);
  EXPECT_EQ(writeRecord(Hex("04")).sw, 0x91BE) << "two records at most";
  EXPECT_EQ(host.Frame(0x3B, Concat({Header(4, 3, 2), Hex("05 05")})).sw, 0x91BE)
      << "beyond the record size";

  EXPECT_EQ(host.Frame(0xBB, Header(4, 0, 0)).data, Hex("01 01 02 02 03 03 03 03"));
  EXPECT_EQ(host.Frame(0xBB, Header(4, 0, 1)).data, Hex("03 03 03 03")) << "newest first";
  EXPECT_EQ(host.Frame(0xBB, Header(4, 1, 1)).data, Hex("01 01 02 02"));
  EXPECT_EQ(host.Frame(0xBB, Header(4, 1, 2)).sw, 0x91BE);

  EXPECT_EQ(host.Frame(0xEB, {0x04}).sw, kOk);
  EXPECT_EQ(host.Frame(0xBB, Header(4, 0, 0)).sw, kOk) << "cleared on commit only";
  EXPECT_EQ(host.Frame(0xC7).sw, kOk);
  EXPECT_EQ(host.Frame(0xBB, Header(4, 0, 0)).sw, 0x91BE);
}

TEST_F(DataTest, CyclicRecordsKeepTheNewest) {
  for (uint8_t i = 1; i <= 4; ++i) {
    ASSERT_EQ(host.Frame(0x3B, Concat({Header(5, 0, 2), {i, i}})).sw, kOk);
    ASSERT_EQ(host.Frame(0xC7).sw, kOk);
  }
  EXPECT_EQ(host.Frame(0xBB, Header(5, 0, 0)).data, Hex("03 03 04 04"));
  EXPECT_EQ(host.Frame(0xF5, {0x05}).data, Hex("04 00 EE EE 02 00 00 03 00 00 02 00 00"));
}

}  // namespace
}  // namespace tarsin::sim::testing
