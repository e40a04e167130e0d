// SPDX-License-Identifier: Apache-2.0
// tarsin-rf configure: the configuration dialog as a host shows it, and what the user chose.
#include <fmt/format.h>

#include <limits>

#include "core/log.h"
#include "host/cli/commands.h"
#include "host/cli/reader_choice.h"
#include "host/cli/report.h"
#include "tarsin/encoder.h"

namespace tarsin::cli {
namespace {

struct ConfigureOptions {
  std::string language;
  std::string parameters;
  std::optional<std::string> reader;  // the device, after the parameters
  bool useVirtualReader = false;
};

constexpr std::string_view kNotShown = "Configure: the dialog cannot be shown: ";

// The component tells why its dialog was not shown only in its log.
void PrintWhyNotShown(const std::string& logPath, uintmax_t logStart) {
  auto [lines, total] = LinesAfter(logPath, logStart, std::numeric_limits<size_t>::max());
  for (const std::string& line : lines) {
    const size_t at = line.find(kNotShown);
    if (at != std::string::npos) PrintField("Dialog", line.substr(at + kNotShown.size()));
  }
}

int RunConfigure(const ConfigureOptions& options) {
  const std::string logPath = DefaultLogPath();
  const uintmax_t logStart = FileSize(logPath);
  fmt::print("Tarsin RF configuration\n");
  if (options.useVirtualReader) {
    if (!SelectVirtualReader()) return 2;
  } else {
    const AutomaticChoice choice = SelectVirtualReaderWhenNoneAttached();
    if (choice == AutomaticChoice::Refused) return 2;
    if (choice == AutomaticChoice::Virtual) PrintField("Reader", "virtual (no reader attached)");
  }
  Encoder encoder;
  if (options.reader || !options.parameters.empty()) {
    encoder.Parameters(WithReader(options.parameters, options.reader));
  }
  const sceReturnCode result = encoder.Configure(options.language);
  if (result == scesuccess) {
    PrintField("Result", "confirmed");
  } else if (result == sceCanceled) {
    PrintField("Result", "canceled");
    PrintWhyNotShown(logPath, logStart);
  } else {
    PrintField("Result", "failed: " + encoder.LastError()->Description);
  }
  PrintField("Parameters", encoder.Parameters());
  encoder.CloseEncoder();
  return result == scesuccess ? 0 : 1;
}

}  // namespace

void AddConfigureCommand(CLI::App& app) {
  auto options = std::make_shared<ConfigureOptions>();
  CLI::App* cmd = app.add_subcommand(
      "configure", "Open the configuration dialog and print the parameters chosen");
  cmd->add_option("--language", options->language,
                  "The dialog's language: francais for French, anything else for English");
  cmd->add_option("-p,--params", options->parameters,
                  "Parameter text to start from (device, protocol, force_reconnect, open_mode)");
  cmd->add_option("-r,--reader", options->reader,
                  "The reader's name, set as the device after the parameter text");
  cmd->add_flag("--virtual", options->useVirtualReader,
                "Use the virtual reader built with the project");
  cmd->footer(
      "Exit status: 0 when confirmed with OK, 1 when canceled or not shown, 2 for a usage error "
      "or without a virtual reader.");
  cmd->callback([options] { exit_status = RunConfigure(*options); });
}

}  // namespace tarsin::cli
