// Files at work: frames, secure messaging, transactions, records and values.
#include <functional>

#include "host.h"

namespace tarsin::sim::testing {
namespace {

// Application 0x010203 with four keys; access with key 1 unless free.
class DataTest : public DesfireTest {
 protected:
  void SetUp() override {
    EnterApplication(0x0F, 4);
    for (const char* create : {
             "CD 00 00 EEEE 2C0100",                         // standard, 300 bytes, free
             "CD 01 01 1111 280000",                         // standard, MACed
             "CD 02 03 1111 280000",                         // standard, enciphered
             "CB 03 00 EEEE 100000",                         // backup
             "C1 04 00 EEEE 040000 020000",                  // linear, two records of 4
             "C0 05 00 EEEE 020000 030000",                  // cyclic, keeps two records of 2
             "CC 06 00 EEEE 9CFFFFFF 64000000 0A000000 01",  // value -100..100, 10, limited credit
             "CC 07 03 3012 00000000 E8030000 F4010000 00",  // enciphered; Read 1 Write 2 RW 3
         }) {
      ASSERT_EQ(host.Send(create), "9100") << create;
    }
  }
  // Commands in turn, each with its answer (data and status word) and what it shows.
  void Expect(std::initializer_list<std::array<const char*, 3>> steps) {
    for (const auto& [command, answer, what] : steps) {
      EXPECT_EQ(host.Send(command), ToHex(Hex(answer))) << command << ": " << what;
    }
  }
};

TEST_F(DataTest, FramesAndFramingErrors) {
  Expect({
      {"3D 00 000000 040000 0101010101", "917E", "more data than announced"},
      {"3D 00 000000 040000 0101", "91AF", "less: the card waits"},
      {"AF", "917E", "an empty frame while data is missing"},
      {"AF 01", "911C", "nothing to continue"},
  });
  EXPECT_EQ(host.Send(0x3D, Cat({Hex("00 000000 3C0000"), Bytes(53, 1)})), "917E")
      << "larger than the card's frame";
  // Answers come in full frames; an offset reaches the end of a file bigger than one frame.
  const std::string first = host.Send("BD 00 000000 000000");
  EXPECT_EQ(Sw(first), "91AF");
  EXPECT_EQ(DataOf(first).size(), 59u);
  EXPECT_EQ(host.Send("3D 00 220100 0A0000 0102030405060708090A"), "9100");
  EXPECT_EQ(host.Send("BD 00 220100 0A0000"),
            "0102030405060708090A"
            "9100");
}

TEST_F(DataTest, MacedFileAddsAndRequiresTheMac) {
  ASSERT_TRUE(host.Authenticate(1));
  const Bytes header = Hex("01 000000 0A0000"), data = Hex("0102030405060708090A");
  EXPECT_EQ(host.Send(0x3D, Cat({header, data})), "91AF") << "the card waits for the MAC";
  EXPECT_EQ(host.Send("AF"), "917E");
  ASSERT_TRUE(host.Authenticate(1));
  const Bytes mac = host.Mac(data);
  Bytes wrong = mac;
  wrong[0] ^= 1;
  EXPECT_EQ(host.Send(0x3D, Cat({header, data, wrong})), "911E");
  ASSERT_TRUE(host.Authenticate(1));
  EXPECT_EQ(host.Send(0x3D, Cat({header, data, mac})), "9100");
  EXPECT_EQ(host.Send(0xBD, header), ToHex(Cat({data, mac})) + "9100");
}

TEST_F(DataTest, EncipheredFileTravelsUnderTheSessionKey) {
  ASSERT_TRUE(host.Authenticate(1));
  const Bytes header = Hex("02 040000 0C0000"), data = Hex("A1A2A3A4A5A6A7A8A9AAABAC");
  EXPECT_EQ(host.Send(0x3D, Cat({header, data})), "91AF") << "plain is short";
  ASSERT_TRUE(host.Authenticate(1));
  EXPECT_EQ(host.Send(0x3D, Cat({header, host.Encipher(WithCrc(data))})), "9100");
  const std::string read = host.Send(0xBD, header);
  ASSERT_EQ(Sw(read), "9100");
  ASSERT_EQ(DataOf(read).size(), 16u);
  EXPECT_EQ(host.Decipher(DataOf(read)), Cat({WithCrc(data), {0, 0}}));
}

TEST_F(DataTest, BackupFileChangesOnCommitOnly) {
  Expect({
      {"3D 03 000000 020000 1122", "9100", "write"},
      {"BD 03 000000 020000", "0000 9100", "not committed yet"},
      {"C7", "9100", "commit"},
      {"BD 03 000000 020000", "1122 9100", "committed"},
  });
  // Selecting again, authenticating or a field reset drops what was pending.
  const std::function<void()> interruptions[] = {
      [&] { EXPECT_EQ(host.Send("5A 030201"), "9100"); },
      [&] { EXPECT_TRUE(host.Authenticate(0)); },
      [&] {
        card.Reset();
        EXPECT_EQ(host.Send("5A 030201"), "9100");
      },
  };
  for (const auto& interrupt : interruptions) {
    EXPECT_EQ(host.Send("3D 03 000000 020000 5566"), "9100");
    interrupt();
    Expect({{"C7", "910C", "nothing pending"}, {"BD 03 000000 020000", "1122 9100", "kept"}});
  }
}

TEST_F(DataTest, LinearRecordsFillUpAndClear) {
  Expect({
      {"BB 04 000000 000000", "91BE", "no record yet"},
      {"3B 04 000000 020000 0101", "9100", "a new record"},
      {"3B 04 020000 020000 0202", "9100", "the same transaction fills the same record"},
      {"C7", "9100", ""},
      {"3B 04 000000 040000 03030303", "9100", "the second record"},
      {"C7", "9100", ""},
      {"3B 04 000000 010000 04", "91BE", "two records at most"},
      {"3B 04 030000 020000 0505", "91BE", "beyond the record size"},
      {"BB 04 000000 000000", "0101020203030303 9100", "oldest first"},
      {"BB 04 000000 010000", "03030303 9100", "the newest is record 0"},
      {"BB 04 010000 010000", "01010202 9100", ""},
      {"BB 04 010000 020000", "91BE", "beyond the records"},
      {"EB 04", "9100", "clear"},
      {"BB 04 000000 000000", "0101020203030303 9100", "cleared on commit only"},
      {"C7", "9100", ""},
      {"BB 04 000000 000000", "91BE", "cleared"},
  });
}

TEST_F(DataTest, CyclicRecordsKeepTheNewest) {
  for (uint8_t i = 1; i <= 4; ++i) {
    ASSERT_EQ(host.Send(0x3B, Cat({Hex("05 000000 020000"), {i, i}})), "9100");
    ASSERT_EQ(host.Send("C7"), "9100");
  }
  Expect({{"BB 05 000000 000000", "03030404 9100", "the two newest"},
          {"F5 05", "04 00 EEEE 020000 030000 020000 9100", "two records now"}});
}

TEST_F(DataTest, ValueLimitsApplyToThePendingValue) {
  Expect({
      {"DC 06 6E000000", "9100", "debit 110 to the lower limit"},
      {"0C 06 C8000000", "9100", "credit 200 to the upper limit"},
      {"0C 06 01000000", "91BE", "one above the upper limit"},
      {"0C 06 FFFFFFFF", "919E", "negative amount"},
      {"DC 06 00000000", "9100", "zero"},
      {"6C 06", "0A000000 9100", "pending until the commit"},
      {"C7", "9100", ""},
      {"6C 06", "64000000 9100", "committed"},
  });
}

TEST_F(DataTest, LimitedCreditGivesBackTheLastDebitsOnce) {
  Expect({
      {"1C 06 01000000", "91BE", "no debit committed yet"},
      {"DC 06 1E000000", "9100", "debit 30"},
      {"C7", "9100", ""},
      {"F5 06", "02 00 EEEE 9CFFFFFF 64000000 1E000000 01 9100", "30 may come back"},
      {"1C 06 1F000000", "91BE", "31 is more"},
      {"1C 06 1E000000", "9100", "30"},
      {"C7", "9100", ""},
      {"6C 06", "0A000000 9100", "back to 10"},
      {"1C 06 01000000", "91BE", "used up"},
  });
}

TEST_F(DataTest, AbortRestoresAndNothingPendingIsReported) {
  Expect({
      {"C7", "910C", "nothing to commit"},
      {"A7", "910C", "nothing to abort"},
      {"DC 06 05000000", "9100", "debit 5"},
      {"A7", "9100", "abort"},
      {"C7", "910C", "nothing left after the abort"},
      {"6C 06", "0A000000 9100", "restored"},
  });
}

TEST_F(DataTest, EncipheredValueFile) {
  ASSERT_TRUE(host.Authenticate(3));
  EXPECT_EQ(host.Send("0C 07 05000000"), "917E") << "plain amount where a cryptogram is due";
  ASSERT_TRUE(host.Authenticate(3));
  ASSERT_EQ(host.Send(0x0C, Cat({{0x07}, host.Encipher(WithCrc(Le(250, 4)))})), "9100");
  ASSERT_EQ(host.Send("C7"), "9100");
  const Bytes value = DataOf(host.Send("6C 07"));
  ASSERT_EQ(value.size(), 8u);
  const Bytes plain = host.Decipher(value);
  EXPECT_EQ(Bytes(plain.begin(), plain.begin() + 4), Le(750, 4));
}

}  // namespace
}  // namespace tarsin::sim::testing
