#include <cstdio>
#include <exception>

#include "host/cli/commands.h"

int main(int argc, char** argv) {
  try {
    CLI::App app{"Tarsin RF: contactless-card encoding from the command line"};
    app.require_subcommand(1);
    tarsin::cli::AddEncodeCommand(app);
    tarsin::cli::AddConfigureCommand(app);
    tarsin::cli::AddRegCommand(app);
    tarsin::cli::AddRunCommands(app);
    tarsin::cli::AddCardWatchCommands(app);
    tarsin::cli::AddReaderCommands(app);
    tarsin::cli::AddVirtualCommand(app);
    tarsin::cli::AddShowCommand(app);
    try {
      app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
      return app.exit(e);
    }
    return tarsin::cli::exit_status;
  } catch (const std::exception& e) {
    // The commands run inside parse(); whatever they let through ends the program cleanly.
    std::fprintf(stderr, "tarsin-rf: %s\n", e.what());
  } catch (...) {
    std::fputs("tarsin-rf: unexpected failure\n", stderr);
  }
  return 2;
}
