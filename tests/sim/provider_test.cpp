// The in-process PC/SC provider, driven through pcsc-lite's entry points as a client would: the
// argument checks and sharing rules the component's tests never reach, one check of each fault
// entry point, and the memory shared between processes.
#include <PCSC/reader.h>
#include <PCSC/winscard.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include "card/bytes.h"
#include "provider/faults.h"
#include "support/scratch_folder.h"

namespace tarsin::sim::testing {
namespace {

constexpr char kReader[] = "Reader A";
constexpr char kEmpty[] = "Reader B";
constexpr char kUid[] = "04A1B2C39000";  // GET DATA's answer
const std::string kZeroBlock = std::string(32, '0') + "9000";

using tarsin::testing::Classic1K;
using tarsin::testing::Reader;

class Provider : public tarsin::testing::ScratchReadersTest {
 protected:
  void SetUp() override {
    readers_.WriteReaders({Reader(kReader, Classic1K()), Reader(kEmpty, nullptr)});
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
  // The answer as hex, or the PC/SC result as "ERR:<hex>".
  static std::string Send(SCARDHANDLE card, const std::string& apdu_hex = "FFCA000000") {
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
  static std::string OnBlock(SCARDHANDLE card, int block, const char* command = "FFB000",
                             const std::string& tail = "") {
    char auth[32], apdu[16];
    std::snprintf(auth, sizeof auth, "FF86000005010%03X6000", block);
    std::snprintf(apdu, sizeof apdu, "%s%02X10", command, block);
    Send(card, "FF82200006FFFFFFFFFFFF");
    return Send(card, auth) == "9000" ? Send(card, apdu + tail) : "no authentication";
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
  struct Case {
    const char* reader;
    DWORD share, protocols;
    LONG result;
  } cases[] = {
      {kReader, 0, SCARD_PROTOCOL_T1, SCARD_E_INVALID_VALUE},
      {kReader, SCARD_SHARE_SHARED, 0, SCARD_E_PROTO_MISMATCH},
      {"T1 only", SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0, SCARD_E_PROTO_MISMATCH},
      {kEmpty, SCARD_SHARE_DIRECT, 0, SCARD_S_SUCCESS},
      {"Broken card", SCARD_SHARE_SHARED, SCARD_PROTOCOL_T1, SCARD_W_UNRESPONSIVE_CARD},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Connect(card, c.reader, c.share, c.protocols), c.result) << c.reader;
  }
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
  BYTE apdu[] = {0xFF, 0xB0, 0x00, 0x04, 0x10};
  BYTE answer[18];
  DWORD length = 10;
  EXPECT_EQ(SCardTransmit(card, SCARD_PCI_T1, apdu, sizeof apdu, nullptr, answer, &length),
            SCARD_E_INSUFFICIENT_BUFFER);
  EXPECT_EQ(length, 18u);
  length = sizeof answer;
  EXPECT_EQ(SCardTransmit(card, SCARD_PCI_T0, apdu, sizeof apdu, nullptr, answer, &length),
            SCARD_E_PROTO_MISMATCH);
  EXPECT_EQ(SCardTransmit(card, SCARD_PCI_T1, apdu, 0, nullptr, answer, &length),
            SCARD_E_INVALID_PARAMETER);
  EXPECT_EQ(SCardTransmit(card, nullptr, apdu, sizeof apdu, nullptr, answer, &length),
            SCARD_E_INVALID_PARAMETER);
  EXPECT_EQ(SCardTransmit(card, SCARD_PCI_T1, apdu, sizeof apdu, nullptr, answer, nullptr),
            SCARD_E_INVALID_PARAMETER);

  char name[64];
  BYTE atr[MAX_ATR_SIZE];
  DWORD name_length = sizeof name, state = 0, protocol = 0, atr_length = sizeof atr;
  ASSERT_EQ(SCardStatus(card, name, &name_length, &state, &protocol, atr, &atr_length),
            SCARD_S_SUCCESS);
  EXPECT_EQ(std::string(name, name_length), std::string(kReader) + '\0');
  EXPECT_TRUE(state & SCARD_PRESENT);
  EXPECT_EQ(protocol, DWORD{SCARD_PROTOCOL_T1});
  EXPECT_EQ(atr_length, 20u);
  // The attributes' values are checked by the component's reader-type test and through pcscd.
  length = 2;
  EXPECT_EQ(SCardGetAttrib(card, SCARD_ATTR_VENDOR_NAME, answer, &length),
            SCARD_E_INSUFFICIENT_BUFFER);
  EXPECT_EQ(length, 7u);
  EXPECT_EQ(SCardGetAttrib(card, 0x00010999, nullptr, &length), SCARD_E_UNSUPPORTED_FEATURE);
}

// One check of each fault, set from C++ or written by hand in the readers file.
TEST_F(Provider, InjectedFaults) {
  auto contents = readers_.Read();
  contents["readers"][0]["faults"] = {{"connectResults", {0x8010000Bu}}, {"statusWords", {"6300"}}};
  readers_.Write(contents);
  SCARDHANDLE card = 0, other = 0;
  EXPECT_EQ(Connect(card), SCARD_E_SHARING_VIOLATION);
  ASSERT_TRUE(faults::FailNextConnects(kReader, 1));
  EXPECT_EQ(Connect(card), SCARD_E_SHARING_VIOLATION);
  ASSERT_EQ(Connect(card), SCARD_S_SUCCESS);
  EXPECT_EQ(Send(card), "6300");

  ASSERT_TRUE(faults::FailNextTransmits(kReader, SCARD_F_COMM_ERROR));
  ASSERT_TRUE(faults::ForceStatusWords(kReader, 0x6A82));
  EXPECT_EQ(Send(card), "ERR:80100013");
  EXPECT_EQ(Send(card), "6A82");
  EXPECT_EQ(Send(card), kUid);

  ASSERT_TRUE(faults::HideAttribute(kReader, SCARD_ATTR_VENDOR_NAME));
  DWORD length = 0;
  EXPECT_EQ(SCardGetAttrib(card, SCARD_ATTR_VENDOR_NAME, nullptr, &length),
            SCARD_E_UNSUPPORTED_FEATURE);

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

TEST_F(Provider, StatusChangeSeesCardsComeAndGo) {
  SCARD_READERSTATE states[3] = {
      {.szReader = kReader}, {.szReader = kEmpty}, {.szReader = "No such reader"}};
  ASSERT_EQ(SCardGetStatusChange(context_, 0, states, 3), SCARD_S_SUCCESS);
  EXPECT_TRUE(states[0].dwEventState & SCARD_STATE_PRESENT);
  EXPECT_EQ(states[0].cbAtr, 20u);
  EXPECT_TRUE(states[1].dwEventState & SCARD_STATE_EMPTY);
  EXPECT_TRUE(states[2].dwEventState & SCARD_STATE_UNKNOWN);
  for (auto& state : states) state.dwCurrentState = state.dwEventState & ~SCARD_STATE_CHANGED;
  EXPECT_EQ(SCardGetStatusChange(context_, 100, states, 2), SCARD_E_TIMEOUT);
  ASSERT_TRUE(faults::SetCardPresent(kReader, false));
  ASSERT_EQ(SCardGetStatusChange(context_, 1000, states, 2), SCARD_S_SUCCESS);
  EXPECT_TRUE(states[0].dwEventState & SCARD_STATE_CHANGED);
  EXPECT_TRUE(states[0].dwEventState & SCARD_STATE_EMPTY);
}

TEST_F(Provider, MemoryOutlivesTheProcessAndConcurrentWritersLoseNothing) {
  // Each block of every other sector gets its own number, from a process of its own (the file
  // is all the processes share).
  pid_t children[2];
  for (int first_sector : {1, 2}) {
    if ((children[first_sector - 1] = ::fork()) != 0) continue;
    SCARDHANDLE card = 0;
    if (Connect(card) != SCARD_S_SUCCESS) ::_exit(1);
    for (int block = first_sector * 4; block < 64; block += block % 4 == 2 ? 6 : 1) {
      char data[40];
      std::snprintf(data, sizeof data, "%032X", block);
      if (OnBlock(card, block, "FFD600", data) != "9000") ::_exit(2);
    }
    ::_exit(0);
  }
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  SCARDHANDLE card = 0;
  ASSERT_EQ(Connect(card), SCARD_S_SUCCESS);
  for (int block = 4; block < 64; ++block) {
    if (block % 4 == 3) continue;
    char expected[40];
    std::snprintf(expected, sizeof expected, "%032X9000", block);
    EXPECT_EQ(OnBlock(card, block), expected) << block;
  }
}

// Reads leave the file alone (a blank card is written whole at its first command); an edit by
// hand right after a write, of the same size and within the file times' resolution, is still
// seen by the next command.
TEST_F(Provider, FileRewrittenOnlyWhenMemoryChangesAndHandEditsSeenAtOnce) {
  const auto version = [this] {
    struct stat status {};
    ::stat(readers_.path().c_str(), &status);
    return std::pair(status.st_ino, status.st_ctim.tv_sec * 1'000'000'000 + status.st_ctim.tv_nsec);
  };
  SCARDHANDLE card = 0;
  ASSERT_EQ(Connect(card), SCARD_S_SUCCESS);
  const std::string ones(32, '1');
  EXPECT_EQ(OnBlock(card, 4, "FFD600", ones), "9000");
  const auto written = version();
  EXPECT_EQ(OnBlock(card, 4), ones + "9000");
  EXPECT_EQ(version(), written);
  auto contents = readers_.Read();
  EXPECT_EQ(contents["readers"][0]["card"]["blocks"][4], ones);
  contents["readers"][0]["card"]["blocks"][4] = std::string(32, '2');
  readers_.Write(contents);
  EXPECT_EQ(OnBlock(card, 4), std::string(32, '2') + "9000");
}

// Without a readers file named, the user's data folder gets one: a blank 1K and a DESFire 4K.
TEST_F(Provider, DefaultFileInTheUsersDataFolder) {
  tarsin::testing::ScopedEnvironment no_file("TARSIN_RF_VIRTUAL_READERS", std::nullopt);
  tarsin::testing::ScopedEnvironment data("XDG_DATA_HOME", folder_.path().string());
  SCardReleaseContext(context_);  // a new context reads the readers file again
  ASSERT_EQ(SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context_),
            SCARD_S_SUCCESS);
  EXPECT_TRUE(std::filesystem::exists(folder_ / "Quillon/Nemora/virtual-readers.json"));
  EXPECT_EQ(ListReaders(context_),
            std::string("Tarsin Virtual Reader 0\0Tarsin Virtual Reader 1\0\0", 49));
  SCARDHANDLE classic = 0, desfire = 0;
  ASSERT_EQ(Connect(classic, "Tarsin Virtual Reader 0"), SCARD_S_SUCCESS);
  ASSERT_EQ(Connect(desfire, "Tarsin Virtual Reader 1"), SCARD_S_SUCCESS);
  EXPECT_EQ(OnBlock(classic, 7), "000000000000FF078069FFFFFFFFFFFF9000");
  EXPECT_EQ(Send(desfire, "FFCA010000"), "0675778102809000");  // its ATS
  EXPECT_EQ(Send(desfire, "906E000000"), "0013009100");        // a formatted 4K's free memory
  // "1.0.0" in the order hosts decode it: major, minor, build (least significant byte first).
  BYTE version[4];
  DWORD length = sizeof version;
  ASSERT_EQ(SCardGetAttrib(classic, SCARD_ATTR_VENDOR_IFD_VERSION, version, &length),
            SCARD_S_SUCCESS);
  EXPECT_EQ(ToHex(Bytes(version, version + length)), "01000000");
  // Sharing and transactions leave nothing beside the readers file but its lock file.
  ASSERT_EQ(SCardBeginTransaction(desfire), SCARD_S_SUCCESS);
  std::set<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder_ / "Quillon/Nemora")) {
    files.insert(entry.path().filename().string());
  }
  EXPECT_EQ(files, (std::set<std::string>{"virtual-readers.json", "virtual-readers.json.lock"}));
}

TEST_F(Provider, UnreadableFileIsNoService) {
  std::ofstream(readers_.path()) << "{ not json";
  SCARDCONTEXT context = 0;
  EXPECT_EQ(SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context),
            SCARD_E_NO_SERVICE);
}

TEST(ProviderTexts, MatchPcscLite) {
  void* library = ::dlopen("libpcsclite.so.1", RTLD_NOW | RTLD_LOCAL);
  if (!library) GTEST_SKIP() << "libpcsclite.so.1 not installed";
  auto* theirs = reinterpret_cast<const char* (*)(LONG)>(::dlsym(library, "pcsc_stringify_error"));
  ASSERT_NE(theirs, nullptr);
  // Every code of the PC/SC range, success and one from elsewhere.
  std::vector<LONG> codes = {SCARD_S_SUCCESS, LONG{0x12345678}};
  for (LONG code = 0x80100001; code <= 0x8010006F; ++code) codes.push_back(code);
  for (LONG code : codes) {
    EXPECT_STREQ(pcsc_stringify_error(code), theirs(code)) << std::hex << code;
  }
  ::dlclose(library);
}

}  // namespace
}  // namespace tarsin::sim::testing
