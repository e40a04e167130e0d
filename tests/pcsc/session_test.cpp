// SPDX-License-Identifier: Apache-2.0
// Session and exchange on the virtual reader: log lines, LastError, states, multi-frame answers.
#include <gmock/gmock.h>

#include "core/encoder_access.h"
#include "core/error.h"
#include "desfire/desfire_fixture.h"
#include "pcsc/command_table.h"
#include "pcsc/exchange.h"
#include "pcsc/status_texts.h"
#include "support/virtual_reader.h"

namespace tarsin {
namespace {

using testing::kReader;

struct ExpectedError {
  uint32_t number = 0;
  const char* description = "";
  std::optional<int32_t> lastDllError = 0;  // not checked when it comes from the system
  const char* comFunction = "";
  const char* rdrCommand = "";
  std::string rdrRetCode;
};

// A PC/SC failure of `command` in `member`: its result as LastDllError and as the text.
ExpectedError PcscError(uint32_t number, const char* description, uint32_t result,
                        const char* command, const char* member = "OpenEncoder") {
  const auto dll = static_cast<int32_t>(result);
  return {number, description, dll, member, command, SCardErrorText(dll)};
}
// A library that cannot serve `command`: the system's error, no PC/SC result.
ExpectedError LibraryError(uint32_t number, const char* description, const char* command) {
  return {number, description, std::nullopt, "OpenEncoder", command, "0"};
}

void ExpectError(const CError& e, const ExpectedError& x) {
  EXPECT_EQ(static_cast<uint32_t>(e.Number), x.number);
  EXPECT_EQ(e.Description, x.description);
  EXPECT_EQ(e.LastDllError, x.lastDllError.value_or(e.LastDllError));
  EXPECT_EQ(e.ComFunction, x.comFunction);
  EXPECT_EQ(e.RdrCommand, x.rdrCommand);
  EXPECT_EQ(e.RdrRetCode, x.rdrRetCode);
}

using Session = testing::VirtualReaderTest;

// Line forms: personalise_log_test. Here: OpenEncoder's argument, a member's check and command.
TEST_F(Session, OpenAndAMemberCommandWriteTheirLogLines) {
  Encoder encoder;
  encoder.Parameters("device=Tarsin Virtual Reader 0;protocol=2;open_mode=2");
  size_t start = LogSize();
  ASSERT_EQ(encoder.OpenEncoder(7), scesuccess);
  EXPECT_EQ(LogLines(start).front(), "T   --> OpenEncoder(7, True)");
  start = LogSize();
  std::string data, status;
  ASSERT_EQ(encoder.EscapeExt("ff ca-00 00 00", data, status), scesuccess);
  std::vector<std::string> lines = LogLines(start);
  ASSERT_EQ(lines.size(), 12u);
  lines.erase(lines.begin() + 6, lines.end() - 1);  // the frame's own five lines
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "T   --> SelectCardInRange", "T       --> Let ATRString",
                       "T       <-- Let ATRString", "T       hCard <> 0, card is connected",
                       "T   <-- SelectCardInRange", "T   --> EncoderCommand(ec_EscapeExt)",
                       "T   <-- EncoderCommand returns: Success"}));
  EXPECT_EQ(SentFrames(start), std::vector<std::string>{"FFCA000000"});
  // Its spaced outputs: CliRun.PrintsWhatTheComponentReturnedAndExitsByTheResults.
}

TEST_F(Session, FailedFramesAreLoggedAndRecorded) {
  Encoder encoder;
  Open(encoder);
  std::string data, status;

  ForceStatusWords(0x6A82);
  size_t start = LogSize();
  EXPECT_EQ(encoder.EscapeExt("FFCA000000", data, status), sceError);
  EXPECT_EQ(status, "6A82");
  EXPECT_EQ(data, "");
  ExpectError(*encoder.LastError(), {0x90010F04, "Encoder command failed", 0, "EscapeExt",
                                     "EncoderCommand:SCardTransmit:EscapeExt", "6A82"});
  std::vector<std::string> lines = LogLines(start);
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[lines.size() - 2], "T       Status code=\"6A82\" ([Aborted]  File not found.)");
  EXPECT_EQ(lines.back(), "T   <-- EncoderCommand returns: Error");

  FailNextTransmits(0x80100016);
  start = LogSize();
  EXPECT_EQ(encoder.Escape("FFCA000000", data), sceError);
  lines = LogLines(start);
  EXPECT_EQ(lines.at(lines.size() - 2), "T       Call failed");
  const CError& e = *encoder.LastError();
  ExpectError(e, {0x90010F04, "Encoder command failed", std::nullopt, "Escape",
                  "EncoderCommand:SCardTransmit:Escape", e.RdrRetCode});
  EXPECT_EQ(lines.at(lines.size() - 3), "T       Function returned: " + e.RdrRetCode);

  // A card that leaves in mid-command answers nothing: no status word, and no failure.
  RemoveCardDuringNextTransmit();
  start = LogSize();
  EXPECT_EQ(encoder.Escape("FFCA000000", data), scesuccess);
  EXPECT_EQ(data, "");
  lines = LogLines(start);
  EXPECT_EQ(lines.at(lines.size() - 2), "T       No status code!");
}

// Faults the virtual reader cannot produce come from a stub provider, or from no provider at all.
TEST_F(Session, OpenFailuresLeaveTheirTrace) {
  constexpr const char* kMissing = "/nonexistent/libpcsclite.so.1";
  struct Case {
    const char* name;
    std::function<void()> arrange;
    std::string device;
    sceReturnCode result;
    sceEncoderState state;
    ExpectedError error;
    int contexts = 1;  // contexts established: a sharing violation is retried once with a new one
    std::optional<std::string> library = std::nullopt, stubMode = std::nullopt;
  };
  const std::vector<Case> cases = {
      {"no card", [] { SetCardPresent(false); }, kReader, scesuccess, sceOpened,
       PcscError(0x90010F06, "No card in encoder", 0x8010000C, "SCardConnect")},
      {"unknown reader", [] {}, "No Such Reader", sceError, sceClosed,
       PcscError(0x90010F03, "Cannot open encoder", 0x80100009, "SCardConnect")},
      {"one sharing violation", [] { FailNextConnects(1, 0x8010000B); }, kReader, scesuccess,
       sceReady, ExpectedError(), 2},
      {"two sharing violations", [] { FailNextConnects(2, 0x8010000B); }, kReader, sceError,
       sceClosed, ExpectedError(), 2},
      {"missing library", [] {}, kReader, sceError, sceClosed,
       LibraryError(53, "File not found: /nonexistent/libpcsclite.so.1", "SCardEstablishContext"),
       1, kMissing},
      {"library without SCardConnect", [] {}, kReader, sceError, sceClosed,
       LibraryError(453,
                    "Can't find DLL entry point SCardConnect in " TARSIN_TEST_STUB_PCSC_NO_CONNECT,
                    "SCardConnect"),
       1, TARSIN_TEST_STUB_PCSC_NO_CONNECT},
      {"no resource manager", [] {}, kReader, sceError, sceClosed,
       PcscError(0x90010F02, "Cannot open encoder", 0x8010001D, "SCardEstablishContext"), 1,
       TARSIN_TEST_STUB_PCSC, "no-service"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.library) provider_.Set(c.library);
    testing::ScopedEnvironment mode("TARSIN_STUB_PCSC_MODE", c.stubMode);
    c.arrange();
    Encoder encoder;
    encoder.Parameters("device=" + c.device + ";protocol=2;open_mode=2");
    const size_t start = LogSize();
    EXPECT_EQ(encoder.OpenEncoder(0), c.result);
    const CError e = *encoder.LastError();  // a copy: the state query clears the error
    ExpectError(e, c.error);
    EXPECT_EQ(c.state == sceReady ? encoder.CardType() : sceMifare1K, sceMifare1K)
        << "the card identified after a retry";
    EXPECT_EQ(encoder.EncoderState(), c.state);
    EXPECT_EQ(StateOf(encoder).hContext == 0, c.state == sceClosed) << "closed again";
    const auto lines = LogLines(start);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "T       Calling SCardEstablishContext"),
              c.contexts);
    if (c.error.number && c.error.number < 1000) {  // a failure of the platform is logged
      EXPECT_THAT(lines,
                  ::testing::Contains("T       Error " + std::to_string(e.Number) + ": " +
                                      e.Description + " [" + std::to_string(e.LastDllError) + "]"));
    }
    EXPECT_EQ(encoder.CloseEncoder(), scesuccess);
    SetCardPresent(true);
    provider_.Set(TARSIN_TEST_VPCSC_LIBRARY);
  }
}

TEST_F(Session, CardOperationsNeedAnOpenEncoderAndACard) {
  Encoder encoder;
  std::string data;
  EXPECT_EQ(encoder.Escape("FFCA000000", data), sceError);
  ExpectError(*encoder.LastError(),
              {0x90010F01, "Encoder is closed", 0, "Escape", "SelectCardInRange", ""});
  CardAnswer closed{.data = {0x01}};  // stale
  EXPECT_EQ(EncoderCommand(StateOf(encoder), ec_GetUID, {}, true, closed), sceError);
  ExpectError(*encoder.LastError(), {0x90010F01, "Encoder is closed", 0, "EncoderCommand", "", ""});
  EXPECT_TRUE(closed.data.empty());
  EXPECT_EQ(closed.status.Text(), "FFFF");

  SetCardPresent(false);
  Open(encoder);

  // The exchange itself refuses without a card.
  CardAnswer answer;
  EXPECT_EQ(EncoderCommand(StateOf(encoder), ec_GetUID, {}, true, answer), sceError);
  ExpectError(*encoder.LastError(),
              {0x90010F06, "No card in encoder", 0, "EncoderCommand", "", ""});
  EXPECT_EQ(answer.status.Text(), "FFFF");

  // A card presented later is found by the next operation.
  SetCardPresent(true);
  EXPECT_EQ(encoder.Escape("FFCA000000", data), scesuccess);
  EXPECT_EQ(data, "04A1B2C3");

  // With force_reconnect every operation connects again; a failed connect keeps the context.
  encoder.CloseEncoder();
  encoder.Parameters("device=Tarsin Virtual Reader 0;protocol=2;open_mode=2;force_reconnect=1");
  ASSERT_EQ(encoder.OpenEncoder(0), scesuccess);
  FailNextConnects(1, 0x80100009);
  EXPECT_EQ(encoder.Escape("FFCA000000", data), sceError);
  ExpectError(*encoder.LastError(), PcscError(0x90010F03, "Cannot open encoder", 0x80100009,
                                              "SelectCardInRange:SCardConnect", "Escape"));
  EXPECT_NE(StateOf(encoder).hContext, 0);
  EXPECT_EQ(encoder.Escape("FFCA000000", data), scesuccess);
}

TEST_F(Session, EncoderStateInItsFourSituationsAndReaderType) {
  Encoder encoder;
  EXPECT_EQ(encoder.EncoderState(), sceClosed);
  Open(encoder);
  EXPECT_EQ(encoder.EncoderState(), sceReady);
  EXPECT_EQ(encoder.ReaderType(),
            "Device name: Tarsin Virtual Reader 0\r\nVendor name: Tarsin\r\nType: Test reader\r\n"
            "Version: 2.1.300\r\nSerial number: SN-42\r\n");
  EXPECT_EQ(encoder.LastError()->ComFunction, "ReaderType");
  // The reader goes away: a connect error other than "no card" still reads as ready.
  StateOf(encoder).hCard = 0;
  SetReaderPresent(false);
  EXPECT_EQ(encoder.EncoderState(), sceReady);
  EXPECT_EQ(encoder.LastError()->Number, 0);
  EXPECT_EQ(encoder.LastError()->ComFunction, "EncoderState");
  SetReaderPresent(true);
  SetCardPresent(false);
  EXPECT_EQ(encoder.EncoderState(), sceOpened);
  // Opened without a card, the reader is described by its name alone.
  encoder.CloseEncoder();
  Open(encoder);
  EXPECT_EQ(encoder.ReaderType(), kReader);
  encoder.CloseEncoder();
  EXPECT_EQ(encoder.EncoderState(), sceClosed);
}

// A stub provider claims more than the receive buffer holds.
TEST_F(Session, AnAnswerClaimingMoreThanTheBufferIsCutToTheBuffer) {
  provider_.Set(TARSIN_TEST_STUB_PCSC);
  testing::ScopedEnvironment mode("TARSIN_STUB_PCSC_MODE", "overlong-answer");
  Encoder encoder;
  ASSERT_EQ(encoder.OpenEncoder(0), scesuccess);
  std::string data;
  EXPECT_EQ(encoder.Escape("FFCA000000", data), scesuccess);
  std::string expected;
  for (size_t i = 0; i < kReceiveBufferSize - 2; ++i) expected += "A5";
  EXPECT_EQ(data, expected);
}

class Exchange : public testing::DesfireTest {
 protected:
  // One command through the exchange, its answer in response_ and statusCode_ as hex.
  sceReturnCode Command(int32_t command, const Variant::Array& params = {},
                        bool followMore = true) {
    CardAnswer answer;
    const sceReturnCode result =
        EncoderCommand(StateOf(encoder_), command, params, followMore, answer);
    response_ = BytesToHex(answer.data);
    statusCode_ = answer.status.Text();
    return result;
  }
  std::string response_, statusCode_;
};

TEST_F(Exchange, AMultiFrameAnswerIsFollowedAndJoined) {
  const size_t start = LogSize();
  ASSERT_EQ(Command(ec_DesfireGetVersion), scesuccess);
  // Hardware and software versions (7 bytes each), then UID, batch and date (14 bytes).
  EXPECT_EQ(statusCode_, "9100");
  EXPECT_EQ(response_.size(), 2u * 28);
  EXPECT_EQ(response_.substr(2 * 14, 14), "04112233445566");
  EXPECT_EQ(SentFrames(start),
            (std::vector<std::string>{"9060000000", "90AF000000", "90AF000000"}));
  // Five lines a frame (as in the recorded DESFire log); continuations add no entry line.
  const std::vector<std::string> lines = LogLines(start);
  ASSERT_EQ(lines.size(), 2 + 3 * 5u);
  EXPECT_EQ(lines.front(), "T   --> EncoderCommand(DesfireGetVersion)");
  for (size_t frame = 0; frame < 3; ++frame)
    EXPECT_EQ(lines[4 + 5 * frame], "T       Received data ..... " +
                                        response_.substr(14 * frame, frame < 2 ? 14 : 28) +
                                        (frame < 2 ? "91AF" : "9100"));
  EXPECT_EQ(lines.back(), "T   <-- EncoderCommand returns: Success");
}

// Without automatic continuation the first frame alone comes back, and that is a success; the
// card is then mid-answer, and a refused next frame fails the whole answer.
TEST_F(Exchange, AFailedContinuationDropsTheEarlierFrames) {
  ASSERT_EQ(Command(ec_DesfireGetVersion, {}, false), scesuccess);
  EXPECT_EQ(statusCode_, "91AF");
  EXPECT_EQ(response_.size(), 2u * 7);
  ForceStatusWords(0x91CA);
  ASSERT_EQ(Command(ec_ContinueResponse), sceError);
  EXPECT_EQ(response_, "");
  EXPECT_EQ(statusCode_, "91CA");
  EXPECT_EQ(encoder_.LastError()->RdrCommand, "SCardTransmit:MoreResponse");
}

TEST_F(Exchange, CommandsThatCannotBeSentAsHexAreRefused) {
  const size_t start = LogSize();
  // 256 does not fit the key-settings byte: the placeholder stays and nothing goes out.
  EXPECT_EQ(
      Command(ec_DesfireCreateApplication, Variant::Array{"010203", int32_t{256}, int32_t{1}}),
      sceError);
  EXPECT_TRUE(SentFrames(start).empty());
  EXPECT_EQ(statusCode_, "FFFF");
  EXPECT_EQ(encoder_.LastError()->RdrCommand, "SCardTransmit:DesfireCreateApplication");
  // The empty template of the first authentication step sends nothing and succeeds.
  EXPECT_EQ(Command(ec_DesfireAuthenticate1, Variant::Array{"00", "000000", "", "", ""}),
            scesuccess);
  EXPECT_EQ(statusCode_, "FFFF");
  EXPECT_TRUE(SentFrames(start).empty());
}

}  // namespace
}  // namespace tarsin
