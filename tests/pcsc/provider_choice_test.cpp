// SPDX-License-Identifier: Apache-2.0
// The process's PC/SC library: fixed by an explicit choice or at the first PC/SC call, then kept.
// A later other choice is refused, naming the one in use; the same one, by any name, is accepted.
#include "pcsc/provider_choice.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "pcsc/winscard.h"
#include "support/scoped_provider.h"
#include "support/scratch_folder.h"

namespace tarsin {
namespace {

using testing::ScopedEnvironment;
using testing::ScopedProvider;

const std::string kVirtual = TARSIN_TEST_VPCSC_LIBRARY;
const std::string kStub = TARSIN_TEST_STUB_PCSC;

// `path` with "/./" before its file name: another name for the same file.
std::string AnotherName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return path.substr(0, slash) + "/." + path.substr(slash);
}

TEST(ProviderChoice, TheFirstChoiceIsKeptForTheProcess) {
  const struct {
    const char* name;
    std::optional<std::string> environment, chosenFirst;
    std::string inUse;
  } rows[] = {
      {"the platform's by default", std::nullopt, std::nullopt, WinSCard::DefaultLibrary()},
      {"the environment's at the first call", kStub, std::nullopt, kStub},
      {"a choice before the first call over the environment's", kStub, kVirtual, kVirtual},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const ScopedProvider fresh(std::nullopt);
    ScopedEnvironment environment("TARSIN_RF_PCSC_LIBRARY", row.environment);
    if (row.chosenFirst) {
      EXPECT_EQ(ProviderChoice::Choose(*row.chosenFirst), std::nullopt);
    }
    EXPECT_EQ(WinSCard::Current().library(), row.inUse);

    const std::string other = row.inUse == kVirtual ? kStub : kVirtual;
    environment.Set(other);  // read at the first call only
    EXPECT_EQ(ProviderChoice::Choose(other), "this process already uses the PC/SC library " +
                                                 row.inUse + "; it cannot switch to " + other +
                                                 " (choose before the first PC/SC call)");
    EXPECT_EQ(ProviderChoice::Choose(row.inUse), std::nullopt);
    if (row.inUse.find('/') != std::string::npos) {
      EXPECT_EQ(ProviderChoice::Choose(AnotherName(row.inUse)), std::nullopt);
    }
    EXPECT_EQ(WinSCard::Current().library(), row.inUse);
  }
}

}  // namespace
}  // namespace tarsin
