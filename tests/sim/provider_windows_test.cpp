// What the provider does on Windows alone: processes of its own (this program again), and the
// readers file in the roaming application-data folder.
#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include <cstdlib>
#include <string>

#include "provider/management.h"
#include "provider_fixture.h"

namespace tarsin::sim::testing {

namespace {

constexpr char kFirstSector[] = "TARSIN_SIM_TEST_FIRST_SECTOR";

// What each child process runs, told its first sector through the environment.
TEST(ProviderChild, DISABLED_NumberBlocks) {
  const char* first_sector = std::getenv(kFirstSector);
  ASSERT_TRUE(first_sector && *first_sector);
  EXPECT_TRUE(NumberBlocks(std::atoi(first_sector)));
}

}  // namespace

bool NumberBlocksInTwoProcesses() {
  wchar_t program[MAX_PATH];
  if (::GetModuleFileNameW(nullptr, program, MAX_PATH) == 0) return false;
  std::wstring command = L"\"" + std::wstring(program) +
                         L"\" --gtest_filter=ProviderChild.* --gtest_also_run_disabled_tests";
  HANDLE children[2] = {};
  DWORD started = 0;
  for (int first_sector : {1, 2}) {
    ::_putenv_s(kFirstSector, std::to_string(first_sector).c_str());  // inherited
    STARTUPINFOW startup{.cb = sizeof(STARTUPINFOW)};
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
      break;
    }
    ::CloseHandle(process.hThread);
    children[started++] = process.hProcess;
  }
  ::_putenv_s(kFirstSector, "");
  ::WaitForMultipleObjects(started, children, TRUE, 120000);
  bool succeeded = started == 2;
  for (DWORD i = 0; i < started; ++i) {
    DWORD code = 1;
    succeeded &= ::GetExitCodeProcess(children[i], &code) && code == 0;
    ::CloseHandle(children[i]);
  }
  return succeeded;
}

namespace {

TEST(ProviderWindows, DefaultFileInTheRoamingApplicationData) {
  tarsin::testing::ScopedEnvironment no_file("TARSIN_RF_VIRTUAL_READERS", std::nullopt);
  char folder[MAX_PATH];
  ASSERT_TRUE(
      SUCCEEDED(::SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)));
  EXPECT_EQ(std::string(tarsin_vpcsc_readers_path()),
            std::string(folder) + "\\Quillon\\Nemora\\virtual-readers.json");
}

}  // namespace
}  // namespace tarsin::sim::testing
