// SPDX-License-Identifier: Apache-2.0
// What the provider does on Windows alone: processes of its own (this program again, told its
// part through the environment), and the readers file in the roaming application-data folder.
#include <process.h>
#include <shlobj.h>

#include "provider/management.h"
#include "provider_fixture.h"

namespace tarsin::sim::testing {

bool NumberBlocksInTwoProcesses() {
  const std::string program = '"' + std::string(_pgmptr) + '"';
  intptr_t children[2];
  for (int first_sector : {1, 2}) {
    _putenv_s("TARSIN_SIM_TEST_FIRST_SECTOR", std::to_string(first_sector).c_str());
    children[first_sector - 1] =
        _spawnl(_P_NOWAIT, _pgmptr, program.c_str(), "--gtest_filter=*DISABLED_NumberBlocks",
                "--gtest_also_run_disabled_tests", nullptr);
  }
  bool succeeded = true;
  for (intptr_t child : children) {
    int status = 1;
    succeeded &= child != -1 && _cwait(&status, child, 0) != -1 && status == 0;
  }
  return succeeded;
}

namespace {

TEST(ProviderChild, DISABLED_NumberBlocks) {
  const char* first_sector = std::getenv("TARSIN_SIM_TEST_FIRST_SECTOR");
  ASSERT_NE(first_sector, nullptr);
  EXPECT_TRUE(NumberBlocks(std::atoi(first_sector)));
}

TEST(ProviderWindows, DefaultFileInTheRoamingApplicationData) {
  tarsin::testing::ScopedEnvironment no_file("TARSIN_RF_VIRTUAL_READERS", std::nullopt);
  char folder[MAX_PATH];
  ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder), S_OK);
  EXPECT_EQ(std::string(tarsin_vpcsc_readers_path()),
            std::string(folder) + "\\Quillon\\Nemora\\virtual-readers.json");
}

}  // namespace
}  // namespace tarsin::sim::testing
