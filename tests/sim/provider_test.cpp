// SPDX-License-Identifier: Apache-2.0
// The in-process PC/SC provider through the platform's entry points: argument checks, sharing,
// faults and memory shared between processes, which the component's tests never reach.
#include <tuple>
#include <vector>

#include "provider/faults.h"
#include "provider_fixture.h"
#include "store/reader_attributes.h"

namespace tarsin::sim::testing {
namespace {

using tarsin::testing::Classic1K;
using tarsin::testing::Reader;

TEST_F(Provider, ContextsAndReaderListFollowPcscLite) {
  SCARDCONTEXT other = 0;
  EXPECT_EQ(SCardEstablishContext(7, nullptr, nullptr, &other), SCARD_E_INVALID_VALUE);
  EXPECT_EQ(SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, nullptr),
            SCARD_E_INVALID_PARAMETER);
  EXPECT_LT(context_, 0x80000000ul);  // pcsc-lite's handles fit 31 bits

  const std::string expected = std::string(kReader) + '\0' + kEmpty + '\0' + '\0';
  EXPECT_EQ(ListReaders(context_), expected);
  std::vector<char> names(expected.size());
  DWORD length = expected.size() - 1;
  EXPECT_EQ(SCardListReaders(context_, nullptr, names.data(), &length),
            SCARD_E_INSUFFICIENT_BUFFER);
  char* allocated = nullptr;
  DWORD automatic = SCARD_AUTOALLOCATE;
  ASSERT_EQ(SCardListReaders(context_, nullptr, reinterpret_cast<LPSTR>(&allocated), &automatic),
            SCARD_S_SUCCESS);
  EXPECT_EQ(std::string(allocated, automatic), expected);
  EXPECT_EQ(SCardFreeMemory(context_, allocated), SCARD_S_SUCCESS);

  EXPECT_EQ(SCardIsValidContext(context_), SCARD_S_SUCCESS);
  ASSERT_EQ(SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &other), SCARD_S_SUCCESS);
  EXPECT_EQ(SCardReleaseContext(other), SCARD_S_SUCCESS);
  for (SCARDCONTEXT stale : {other, SCARDCONTEXT{0}}) {
    EXPECT_EQ(SCardIsValidContext(stale), SCARD_E_INVALID_HANDLE);
    EXPECT_EQ(SCardReleaseContext(stale), SCARD_E_INVALID_HANDLE);
    EXPECT_EQ(SCardListReaders(stale, nullptr, nullptr, &length), SCARD_E_INVALID_HANDLE);
  }
}

TEST_F(Provider, ConnectAndDisconnectResults) {
  auto t1_only = Reader("T1 only", Classic1K());
  t1_only["protocols"] = {"T1"};
  readers_.WriteReaders({Reader(kReader, Classic1K()), Reader(kEmpty, nullptr), t1_only,
                         Reader("Broken card", {{"type", "mifare-classic-1k"}, {"uid", "0102"}})});
  SCARDHANDLE card = 0;
  const std::tuple<const char*, DWORD, DWORD, LONG> cases[] = {
      // share, protocols, result
      {kReader, 0, SCARD_PROTOCOL_T1, SCARD_E_INVALID_VALUE},
      {kReader, SCARD_SHARE_SHARED, 0, SCARD_E_PROTO_MISMATCH},
      {"T1 only", SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0, SCARD_E_PROTO_MISMATCH},
      {kEmpty, SCARD_SHARE_DIRECT, 0, SCARD_S_SUCCESS},
      {"Broken card", SCARD_SHARE_SHARED, SCARD_PROTOCOL_T1, SCARD_W_UNRESPONSIVE_CARD},
  };
  for (const auto& [reader, share, protocols, result] : cases)
    EXPECT_EQ(Connect(card, reader, share, protocols), result) << reader;
  DWORD active = 0;
  EXPECT_EQ(SCardConnect(context_, kReader, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0, &card, &active),
            SCARD_S_SUCCESS);
  EXPECT_EQ(active, DWORD{SCARD_PROTOCOL_T0});
  EXPECT_LT(card, 0x80000000ul);
  EXPECT_EQ(SCardDisconnect(card, 9), SCARD_E_INVALID_VALUE);
  EXPECT_EQ(SCardDisconnect(card, SCARD_LEAVE_CARD), SCARD_S_SUCCESS);
  EXPECT_EQ(SCardDisconnect(card, SCARD_LEAVE_CARD), SCARD_E_INVALID_HANDLE);
  EXPECT_EQ(Send(card), "ERR:80100003");
  EXPECT_EQ(SCardConnect(0, kReader, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0, &card, &active),
            SCARD_E_INVALID_HANDLE);
}

// Sharing: an exclusive holder, a transaction, and a reset each keep the other handle out.
TEST_F(Provider, ExclusiveTransactionAndReset) {
  SCARDHANDLE first = 0, second = 0;
  ASSERT_EQ(Connect(first, kReader, SCARD_SHARE_EXCLUSIVE), SCARD_S_SUCCESS);
  EXPECT_EQ(Connect(second), SCARD_E_SHARING_VIOLATION);
  ASSERT_EQ(SCardDisconnect(first, SCARD_LEAVE_CARD), SCARD_S_SUCCESS);
  ASSERT_EQ(Connect(first), SCARD_S_SUCCESS);
  EXPECT_EQ(Connect(second, kReader, SCARD_SHARE_EXCLUSIVE), SCARD_E_SHARING_VIOLATION);
  ASSERT_EQ(Connect(second), SCARD_S_SUCCESS);

  EXPECT_EQ(SCardEndTransaction(first, SCARD_LEAVE_CARD), SCARD_E_NOT_TRANSACTED);
  ASSERT_EQ(SCardBeginTransaction(first), SCARD_S_SUCCESS);
  EXPECT_EQ(Send(first), kUid);
  EXPECT_EQ(Send(second), "ERR:8010000B");
  ASSERT_EQ(SCardEndTransaction(first, SCARD_LEAVE_CARD), SCARD_S_SUCCESS);
  EXPECT_EQ(Send(second), kUid);

  // A reset loses the authentication and warns the other handle until it reconnects.
  ASSERT_EQ(OnBlock(first, 4), kZeroBlock);
  ASSERT_EQ(Reconnect(first, SCARD_RESET_CARD), SCARD_S_SUCCESS);
  EXPECT_EQ(Send(first, "FFB0000410"), "6982");
  EXPECT_EQ(Send(second), "ERR:80100068");
  ASSERT_EQ(Reconnect(second, SCARD_LEAVE_CARD), SCARD_S_SUCCESS);
  EXPECT_EQ(Send(second), kUid);
  EXPECT_EQ(Reconnect(second, SCARD_LEAVE_CARD, 0), SCARD_E_INVALID_VALUE);
}

TEST_F(Provider, TransmitStatusAndAttributesCheckTheirArguments) {
  SCARDHANDLE card = 0;
  ASSERT_EQ(Connect(card), SCARD_S_SUCCESS);
  ASSERT_EQ(OnBlock(card, 4), kZeroBlock);  // leaves block 4 authenticated
  BYTE apdu[] = {0xFF, 0xB0, 0x00, 0x04, 0x10}, answer[18];
  DWORD length = 10;
  const auto transmit = [&](const SCARD_IO_REQUEST* pci, DWORD size, DWORD* answer_length) {
    return SCardTransmit(card, pci, apdu, size, nullptr, answer, answer_length);
  };
  EXPECT_EQ(transmit(SCARD_PCI_T1, sizeof apdu, &length), SCARD_E_INSUFFICIENT_BUFFER);
  EXPECT_EQ(length, 18u);
  EXPECT_EQ(transmit(SCARD_PCI_T0, sizeof apdu, &length), SCARD_E_PROTO_MISMATCH);
  EXPECT_EQ(transmit(SCARD_PCI_T1, 0, &length), SCARD_E_INVALID_PARAMETER);
  EXPECT_EQ(transmit(nullptr, sizeof apdu, &length), SCARD_E_INVALID_PARAMETER);
  EXPECT_EQ(transmit(SCARD_PCI_T1, sizeof apdu, nullptr), SCARD_E_INVALID_PARAMETER);

  char name[64];
  BYTE atr[64];
  DWORD name_length = sizeof name, state = 0, protocol = 0, atr_length = sizeof atr;
  ASSERT_EQ(SCardStatus(card, name, &name_length, &state, &protocol, atr, &atr_length),
            SCARD_S_SUCCESS);
  EXPECT_EQ(std::string(name, name_length), std::string(kReader) + '\0');
  EXPECT_TRUE(state & SCARD_PRESENT);
  EXPECT_EQ(protocol, DWORD{SCARD_PROTOCOL_T1});
  EXPECT_EQ(atr_length, 20u);
  BYTE attribute[64];
  length = sizeof attribute;
  ASSERT_EQ(SCardGetAttrib(card, kAttrAtrString, attribute, &length), SCARD_S_SUCCESS);
  EXPECT_EQ(Bytes(attribute, attribute + length), Bytes(atr, atr + atr_length));
  // The attributes' values are checked by the component's reader-type test and through pcscd.
  length = 2;
  EXPECT_EQ(SCardGetAttrib(card, kAttrVendorName, answer, &length), SCARD_E_INSUFFICIENT_BUFFER);
  EXPECT_EQ(length, 7u);
  EXPECT_EQ(SCardGetAttrib(card, 0x00010999, nullptr, &length), SCARD_E_UNSUPPORTED_FEATURE);
}

// Faults set from C++ or written by hand in the readers file.
TEST_F(Provider, InjectedFaults) {
  auto contents = readers_.Read();
  contents["readers"][0]["faults"] = {{"connectResults", {0x8010000Bu}}, {"statusWords", {"6300"}}};
  readers_.Write(contents);
  SCARDHANDLE card = 0, other = 0;
  EXPECT_EQ(Connect(card), SCARD_E_SHARING_VIOLATION);
  ASSERT_EQ(Connect(card), SCARD_S_SUCCESS);
  EXPECT_EQ(Send(card), "6300");

  ASSERT_TRUE(faults::FlipAnswerByte(kReader, -3));
  ASSERT_TRUE(faults::FlipAnswerByte(kReader, 0));
  EXPECT_EQ(Send(card), "04A1B23C9000");
  EXPECT_EQ(Send(card), "FBA1B2C39000");

  ASSERT_TRUE(faults::HideAttribute(kReader, kAttrVendorName));
  DWORD length = 0;
  EXPECT_EQ(SCardGetAttrib(card, kAttrVendorName, nullptr, &length), SCARD_E_UNSUPPORTED_FEATURE);

  ASSERT_TRUE(faults::RemoveCardDuringNextTransmit(kReader));
  EXPECT_EQ(Send(card), "");
  EXPECT_EQ(Send(card), "ERR:80100016");
  EXPECT_EQ(Send(card), "ERR:80100069");
  EXPECT_EQ(Connect(other), SCARD_E_NO_SMARTCARD);
  ASSERT_TRUE(faults::SetCardPresent(kReader, true));
  EXPECT_EQ(Send(card), "ERR:80100069");  // another card now, as far as it knows
  ASSERT_EQ(Reconnect(card, SCARD_LEAVE_CARD), SCARD_S_SUCCESS);
  EXPECT_EQ(Send(card), kUid);

  ASSERT_TRUE(faults::SetReaderPresent(kReader, false));
  EXPECT_EQ(Send(card), "ERR:80100017");
  EXPECT_EQ(Connect(other), SCARD_E_UNKNOWN_READER);
  ASSERT_TRUE(faults::SetReaderPresent(kReader, true));
  EXPECT_FALSE(faults::SetReaderPresent("No such reader", true));
  ASSERT_TRUE(faults::FailNextTransmits(kReader, SCARD_F_COMM_ERROR, 3));
  ASSERT_TRUE(faults::ClearFaults(kReader));
  EXPECT_EQ(Send(card), kUid);
}

TEST_F(Provider, MemoryOutlivesTheProcessAndConcurrentWritersLoseNothing) {
  ASSERT_TRUE(NumberBlocksInTwoProcesses());
  SCARDHANDLE card = 0;
  ASSERT_EQ(Connect(card), SCARD_S_SUCCESS);
  for (int block = 4; block < 64; ++block) {
    if (block % 4 == 3) continue;
    char expected[40];
    std::snprintf(expected, sizeof expected, "%032X9000", block);
    EXPECT_EQ(OnBlock(card, block), expected) << block;
  }
}

TEST_F(Provider, UnreadableFileIsNoService) {
  std::ofstream(readers_.path()) << "{ not json";
  SCARDCONTEXT context = 0;
  EXPECT_EQ(SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context),
            SCARD_E_NO_SERVICE);
}

}  // namespace
}  // namespace tarsin::sim::testing
