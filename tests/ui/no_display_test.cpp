// Where the dialog cannot be shown, Configure cancels and says why in the log; the host's
// process lives on (here tarsin-rf, which prints the outcome and the reason).
#include <gmock/gmock.h>

#include "ui/dialog_fixture.h"

namespace tarsin::testing {
namespace {

TEST_F(DialogTest, WithoutADisplayConfigureCancelsAndTheHostLivesOn) {
  using Environment = std::vector<std::pair<std::string, std::optional<std::string>>>;
  const std::string cannotCreate = "ActiveX component can't create object: ";
  const struct {
    Environment environment;
    std::string reason;
  } rows[] = {
      {{{"DISPLAY", {}}, {"WAYLAND_DISPLAY", {}}, {"QT_QPA_PLATFORM", {}}},
       cannotCreate + "no display (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are unset)"},
      {{{"DISPLAY", ":4242"}, {"QT_QPA_PLATFORM", "xcb"}},
       cannotCreate + "the X server \":4242\" does not answer"},
      {{{"QT_QPA_PLATFORM", "nosuch;xcb"}, {"DISPLAY", {}}},
       cannotCreate + "no Qt platform plugin \"nosuch\"; DISPLAY is unset"},
      {{{"TARSIN_RF_DIALOG_LIBRARY", "/nonexistent/libtarsinrf-dialogs.so"}},
       "File not found: /nonexistent/libtarsinrf-dialogs.so"},
  };
  for (const auto& row : rows) {
    std::vector<std::unique_ptr<ScopedEnvironment>> environment;
    for (const auto& [name, value] : row.environment) {
      environment.push_back(std::make_unique<ScopedEnvironment>(name, value));
    }
    const auto output = log_.root() / "output.txt";
    const std::string command = std::string(TARSIN_TEST_CLI) +
                                " configure --virtual -p 'device=" + kReader +
                                ";protocol=2;open_mode=2' > '" + output.string() + "'";
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 1) << row.reason;
    // The reason, then the parameters as they were.
    EXPECT_THAT(FileContent(output),
                ::testing::HasSubstr("  Result       canceled\n  Dialog       " + row.reason +
                                     "\n  Parameters   Encoding capabilities=Mifare Classic, "
                                     "Mifare Ultralight, Mifare DESFire\n               Device=" +
                                     kReader + "\n"));
  }
}

}  // namespace
}  // namespace tarsin::testing
