// The exchange with a DESFire card on the virtual reader: multi-frame answers joined or not.
#include <gtest/gtest.h>

#include "core/encoder_access.h"
#include "pcsc/command_table.h"
#include "pcsc/exchange.h"
#include "pcsc/status_texts.h"
#include "support/virtual_reader.h"

namespace tarsin {
namespace {

class Exchange : public testing::VirtualReaderTest {
 protected:
  void SetUp() override {
    VirtualReaderTest::SetUp();
    WriteReaders({testing::Reader(testing::kReader,
                         {{"type", "mifare-desfire-ev1-4k"}, {"uid", "04112233445566"}})});
  }

};

TEST_F(Exchange, AMultiFrameAnswerIsFollowedAndJoined) {
  Encoder encoder;
  Open(encoder);
  std::string response, statusCode;
  const size_t start = LogSize();
  ASSERT_EQ(EncoderCommand(StateOf(encoder), ec_DesfireGetVersion, Variant(), response, statusCode),
            scesuccess);
  // Hardware and software versions (7 bytes each), then UID, batch and date (14 bytes): the
  // continuation frames add no entry line of their own.
  EXPECT_EQ(statusCode, "9100");
  EXPECT_EQ(response.size(), 2u * 28);
  EXPECT_EQ(response.substr(2 * 14, 14), "04112233445566");
  const std::string card = std::to_string(StateOf(encoder).hCard);
  const auto frame = [&](const std::string& sent, const std::string& data,
                         const std::string& status, const std::string& text) {
    return std::vector<std::string>{
        "T       Calling SCardTransmit(hCard:=" + card +
            ", pioSendPci:=[dwProtocol=2, cbPciLength=8], pbSendBuffer:= \"" + sent +
            "\", cbSendLength:=5, pioRecvPci:=0, pbRecvBuffer, pcbRecvLength:=4096)",
        "T       Function returned: OK (SCARD_S_SUCCESS)",
        "T       Received length ... " + std::to_string(data.size() / 2 + 2),
        "T       Received data ..... " + data + status,
        "T       Status code=\"" + status + "\" (" + text + ")"};
  };
  const std::string more = StatusWordText("91AF"), done = StatusWordText("9100");
  std::vector<std::string> expected{"T   --> EncoderCommand(DesfireGetVersion)"};
  for (const auto& part : {frame("9060000000", response.substr(0, 14), "91AF", more),
                           frame("90AF000000", response.substr(14, 14), "91AF", more),
                           frame("90AF000000", response.substr(28), "9100", done)}) {
    expected.insert(expected.end(), part.begin(), part.end());
  }
  expected.push_back("T   <-- EncoderCommand returns: Success");
  EXPECT_EQ(LogLines(start), expected);

  // Without automatic continuation the first frame alone comes back, and that is a success.
  ASSERT_EQ(EncoderCommand(StateOf(encoder), ec_DesfireGetVersion, Variant(), response, statusCode,
                           0),
            scesuccess);
  EXPECT_EQ(statusCode, "91AF");
  EXPECT_EQ(response.size(), 2u * 7);
}

TEST_F(Exchange, AFailedContinuationDropsTheEarlierFrames) {
  Encoder encoder;
  Open(encoder);
  std::string response, statusCode;
  ASSERT_EQ(EncoderCommand(StateOf(encoder), ec_DesfireGetVersion, Variant(), response, statusCode,
                           0),
            scesuccess);
  // The card is mid-answer; a refused next frame fails the whole answer.
  ForceStatusWords(0x91CA);
  ASSERT_EQ(EncoderCommand(StateOf(encoder), ec_ContinueResponse, Variant(), response, statusCode),
            sceError);
  EXPECT_EQ(response, "");
  EXPECT_EQ(statusCode, "91CA");
  EXPECT_EQ(encoder.LastError()->RdrCommand, "SCardTransmit:MoreResponse");
}

TEST_F(Exchange, CommandsThatCannotBeSentAsHexAreRefused) {
  Encoder encoder;
  Open(encoder);
  std::string response, statusCode;
  const size_t start = LogSize();
  // 256 does not fit the key-settings byte: the placeholder stays and nothing goes out.
  EXPECT_EQ(EncoderCommand(StateOf(encoder), ec_DesfireCreateApplication,
                           Variant(Variant::Array{"010203", int32_t{256}, int32_t{1}}), response,
                           statusCode),
            sceError);
  EXPECT_TRUE(SentFrames(start).empty());
  EXPECT_EQ(statusCode, "FFFF");
  EXPECT_EQ(encoder.LastError()->RdrCommand, "SCardTransmit:DesfireCreateApplication");
  // The empty template of the first authentication step sends nothing and succeeds.
  EXPECT_EQ(EncoderCommand(StateOf(encoder), ec_DesfireAuthenticate1,
                           Variant(Variant::Array{"00", "000000", "", "", ""}), response,
                           statusCode),
            scesuccess);
  EXPECT_EQ(statusCode, "FFFF");
  EXPECT_TRUE(SentFrames(start).empty());
}

}  // namespace
}  // namespace tarsin
