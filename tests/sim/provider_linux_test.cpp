// SPDX-License-Identifier: Apache-2.0
// The provider on Linux alone: processes by fork, the XDG data folder, pcsc-lite's texts.
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <set>
#include <tuple>
#include <vector>

#include "provider_fixture.h"

namespace tarsin::sim::testing {

// Runs each part in a child process of its own, all at once; true when every part succeeded.
bool InProcesses(std::initializer_list<std::function<bool()>> parts) {
  std::vector<pid_t> children;
  for (const auto& part : parts) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(part() ? 0 : 1);
    children.push_back(child);
  }
  bool succeeded = true;
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    succeeded &= WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  return succeeded;
}

bool NumberBlocksInTwoProcesses() {
  return InProcesses({[] { return NumberBlocks(1); }, [] { return NumberBlocks(2); }});
}

namespace {

// The readers file holds keys: owner-only, no planted link followed, untouched by reads, and an
// edit by hand of the same size within the file times' resolution still seen.
TEST_F(Provider, ReadersFileIsPrivateRewrittenOnChangesAndEditsByHandSeenAtOnce) {
  const auto victim = folder_ / "victim";
  std::ofstream(victim) << "untouched";
  std::filesystem::create_symlink(victim,
                                  readers_.path().string() + ".tmp" + std::to_string(::getpid()));
  const auto version = [this] {
    struct stat status {};
    ::stat(readers_.path().c_str(), &status);
    return std::tuple(status.st_ino, status.st_ctim.tv_sec * 1'000'000'000 + status.st_ctim.tv_nsec,
                      status.st_mode & 0777);
  };
  SCARDHANDLE card = 0;
  ASSERT_EQ(Connect(card), SCARD_S_SUCCESS);
  const std::string ones(32, '1');
  EXPECT_EQ(OnBlock(card, 4, "FFD600", ones), "9000");
  EXPECT_EQ(tarsin::testing::FileContent(victim), "untouched");
  const auto written = version();
  EXPECT_EQ(std::get<2>(written), 0600u);
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
  // Transactions leave nothing beside the readers file but its lock file.
  ASSERT_EQ(SCardBeginTransaction(desfire), SCARD_S_SUCCESS);
  std::set<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder_ / "Quillon/Nemora"))
    files.insert(entry.path().filename().string());
  EXPECT_EQ(files, (std::set<std::string>{"virtual-readers.json", "virtual-readers.json.lock"}));
}

// Runs `steps` on kReader's card in a child process naming the file otherwise, as another program.
bool InAnotherProcess(const std::filesystem::path& file,
                      const std::function<bool(SCARDHANDLE)>& steps) {
  return InProcesses({[&] {
    ::setenv("TARSIN_RF_VIRTUAL_READERS", (file.parent_path() / "." / file.filename()).c_str(), 1);
    SCARDCONTEXT context = 0;
    SCARDHANDLE other = 0;
    DWORD active = 0;
    SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context);
    SCardConnect(context, kReader, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T1, &other, &active);
    return steps(other);
  }});
}

// Native commands "instruction data = answer" in their class-90 wrapping; true when all match.
bool Natives(SCARDHANDLE card, std::initializer_list<std::string> steps) {
  bool all = true;
  for (const std::string& step : steps) {
    const size_t at = step.find(" = ");
    const Bytes command = *FromHex(step.substr(0, at));
    Bytes apdu{0x90, command[0], 0, 0};
    if (command.size() > 1) apdu.push_back(static_cast<uint8_t>(command.size() - 1));
    apdu.insert(apdu.end(), command.begin() + 1, command.end());
    apdu.push_back(0);
    const std::string answer = Send(card, ToHex(apdu));
    all &= answer == ToHex(*FromHex(step.substr(at + 3)));
    EXPECT_EQ(answer, ToHex(*FromHex(step.substr(at + 3)))) << step;
  }
  return all;
}

// One card, one state: another process goes on in this one's application and transaction, and
// its commit takes both; its last step closes file 1 to writes.
TEST_F(Provider, TwoProcessesShareTheCardsOneState) {
  readers_.WriteReaders({tarsin::testing::Reader(
      kReader, {{"type", "mifare-desfire-ev1-4k"}, {"uid", "04112233445566"}})});
  SCARDHANDLE card = 0;
  ASSERT_EQ(Connect(card), SCARD_S_SUCCESS);
  ASSERT_TRUE(
      Natives(card, {"CA 030201 0F 01 = 9100", "5A 030201 = 9100", "CB 01 00 EEEE 040000 = 9100",
                     "CC 02 00 EEEE 00000000 64000000 0A000000 00 = 9100",
                     "3D 01 000000 040000 11111111 = 9100", "0C 02 05000000 = 9100"}));
  EXPECT_TRUE(InAnotherProcess(readers_.path(), [](SCARDHANDLE other) {
    return Natives(other, {"3D 01 000000 040000 22222222 = 9100", "DC 02 03000000 = 9100",
                           "C7 = 9100", "5F 01 00 00E0 = 9100"});
  }));
  Natives(card, {"C7 = 910C", "BD 01 000000 040000 = 22222222 9100", "6C 02 = 0C000000 9100",
                 "3D 01 000000 010000 33 = 91AE"});
}

TEST(ProviderTexts, MatchPcscLite) {
  void* library = ::dlopen("libpcsclite.so.1", RTLD_NOW | RTLD_LOCAL);
  if (!library) GTEST_SKIP() << "libpcsclite.so.1 not installed";
  auto* theirs = reinterpret_cast<const char* (*)(LONG)>(::dlsym(library, "pcsc_stringify_error"));
  ASSERT_NE(theirs, nullptr);
  std::vector<LONG> codes = {SCARD_S_SUCCESS, LONG{0x12345678}};
  for (LONG code = 0x80100001; code <= 0x8010006F; ++code) codes.push_back(code);
  for (LONG code : codes)
    EXPECT_STREQ(pcsc_stringify_error(code), theirs(code)) << std::hex << code;
  ::dlclose(library);
}

}  // namespace
}  // namespace tarsin::sim::testing
