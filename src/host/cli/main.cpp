// SPDX-License-Identifier: Apache-2.0
#include <fmt/format.h>

#include <cstdio>
#include <exception>
#include <string_view>

#include "host/cli/commands.h"
#include "host/cli/report.h"

namespace {

// Every mistake on the command line exits with this status, whatever the parser calls it.
constexpr int kUsageError = 2;

// The first word when it names no subcommand (an option is left to the parser).
bool UnknownSubcommand(CLI::App& app, int argc, char** argv) {
  if (argc < 2 || std::string_view(argv[1]).starts_with('-')) return false;
  std::string names;
  for (const CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; })) {
    if (sub->get_name() == argv[1]) return false;
    names += (names.empty() ? "" : ", ") + sub->get_name();
  }
  fmt::print(stderr, "tarsin-rf: unknown subcommand \"{}\" (one of {}; tarsin-rf --help)\n",
             tarsin::cli::Shown(argv[1]), names);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    CLI::App app{"Tarsin RF: contactless-card encoding from the command line"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "tarsin-rf " TARSIN_RF_VERSION);
    app.footer(
        "Exit status: 0 done, 1 the operation failed, 2 a usage error (unknown subcommand or "
        "option, a missing or bad value).");
    tarsin::cli::AddEncodeCommand(app);
    tarsin::cli::AddConfigureCommand(app);
    tarsin::cli::AddRegCommand(app);
    tarsin::cli::AddRunCommands(app);
    tarsin::cli::AddCardWatchCommands(app);
    tarsin::cli::AddReaderCommands(app);
    tarsin::cli::AddVirtualCommand(app);
    tarsin::cli::AddShowCommand(app);
    if (UnknownSubcommand(app, argc, argv)) return kUsageError;
    try {
      app.parse(argc, argv);
    } catch (const CLI::Success& e) {
      return app.exit(e);  // --help, --version
    } catch (const CLI::ParseError& e) {
      app.exit(e);
      return kUsageError;
    }
    return tarsin::cli::exit_status;
  } catch (const std::exception& e) {
    // The commands run inside parse(); whatever they let through ends the program cleanly.
    std::fprintf(stderr, "tarsin-rf: %s\n", e.what());
  } catch (...) {
    std::fputs("tarsin-rf: unexpected failure\n", stderr);
  }
  return kUsageError;
}
