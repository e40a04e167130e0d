// SPDX-License-Identifier: Apache-2.0
// The provider through the platform's <winscard.h> (pcsc-lite's, or WinSCard's under mingw): a
// readers file of two readers, a context, and the commands the tests send.
#pragma once

#include <winscard.h>

#include <cstdio>
#include <string>

#include "card/bytes.h"
#include "support/scratch_folder.h"

namespace tarsin::sim::testing {

constexpr char kReader[] = "Reader A";
constexpr char kEmpty[] = "Reader B";
constexpr char kUid[] = "04A1B2C39000";  // GET DATA's answer
inline const std::string kZeroBlock = std::string(32, '0') + "9000";

// The answer as hex, or the PC/SC result as "ERR:<hex>".
inline std::string Send(SCARDHANDLE card, const std::string& apdu_hex = "FFCA000000") {
  Bytes apdu = *FromHex(apdu_hex);
  BYTE answer[258];
  DWORD length = sizeof answer;
  LONG result =
      SCardTransmit(card, SCARD_PCI_T1, apdu.data(), apdu.size(), nullptr, answer, &length);
  if (result == SCARD_S_SUCCESS) return ToHex(Bytes(answer, answer + length));
  char text[32];
  std::snprintf(text, sizeof text, "ERR:%08lX", static_cast<unsigned long>(result));
  return text;
}

// Authenticates `block` with the transport key A, then sends `command` + block + `tail`.
inline std::string OnBlock(SCARDHANDLE card, int block, const char* command = "FFB000",
                           const std::string& tail = "") {
  char auth[32], apdu[16];
  std::snprintf(auth, sizeof auth, "FF86000005010%03X6000", block);
  std::snprintf(apdu, sizeof apdu, "%s%02X10", command, block);
  Send(card, "FF82200006FFFFFFFFFFFF");
  return Send(card, auth) == "9000" ? Send(card, apdu + tail) : "no authentication";
}

// Numbers each data block of every other sector from `first_sector` on: one process's part.
inline bool NumberBlocks(int first_sector) {
  SCARDCONTEXT context = 0;
  SCARDHANDLE card = 0;
  DWORD active = 0;
  bool written =
      SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context) == SCARD_S_SUCCESS &&
      SCardConnect(context, kReader, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T1, &card, &active) ==
          SCARD_S_SUCCESS;
  for (int block = first_sector * 4; written && block < 64; block += block % 4 == 2 ? 6 : 1) {
    char data[40];
    std::snprintf(data, sizeof data, "%032X", block);
    written = OnBlock(card, block, "FFD600", data) == "9000";
  }
  SCardReleaseContext(context);
  return written;
}

// NumberBlocks(1) and (2) in two processes at once (provider_<platform>_test.cpp): both succeed?
bool NumberBlocksInTwoProcesses();

class Provider : public tarsin::testing::ScratchReadersTest {
 protected:
  void SetUp() override {
    readers_.WriteReaders({tarsin::testing::Reader(kReader, tarsin::testing::Classic1K()),
                           tarsin::testing::Reader(kEmpty, nullptr)});
    ASSERT_EQ(SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context_),
              SCARD_S_SUCCESS);
  }
  void TearDown() override { SCardReleaseContext(context_); }  // and its card handles
  LONG Connect(SCARDHANDLE& card, const char* reader = kReader, DWORD share = SCARD_SHARE_SHARED,
               DWORD protocols = SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1) {
    DWORD active = 0;
    return SCardConnect(context_, reader, share, protocols, &card, &active);
  }
  static LONG Reconnect(SCARDHANDLE card, DWORD disposition, DWORD share = SCARD_SHARE_SHARED) {
    DWORD active = 0;
    return SCardReconnect(card, share, SCARD_PROTOCOL_T1, disposition, &active);
  }
  static std::string ListReaders(SCARDCONTEXT context) {
    DWORD length = 0;
    EXPECT_EQ(SCardListReaders(context, nullptr, nullptr, &length), SCARD_S_SUCCESS);
    std::string names(length, '?');
    EXPECT_EQ(SCardListReaders(context, nullptr, names.data(), &length), SCARD_S_SUCCESS);
    return names;
  }

  SCARDCONTEXT context_ = 0;
};

}  // namespace tarsin::sim::testing
