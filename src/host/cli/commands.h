// SPDX-License-Identifier: Apache-2.0
// The sub-commands of tarsin-rf. Each adds itself to the application and returns the exit
// status through the callback it installs.
#pragma once

#include <CLI/CLI.hpp>

namespace tarsin::cli {

// Set by the sub-command that ran.
inline int exit_status = 0;

void AddConfigureCommand(CLI::App& app);
void AddEncodeCommand(CLI::App& app);
void AddRegCommand(CLI::App& app);
void AddRunCommands(CLI::App& app);
void AddReaderCommands(CLI::App& app);
void AddCardWatchCommands(CLI::App& app);
void AddVirtualCommand(CLI::App& app);
void AddShowCommand(CLI::App& app);

}  // namespace tarsin::cli
