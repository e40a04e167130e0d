// The main job: encode a card on the configured reader.
#include <fmt/format.h>

#include <deque>
#include <fstream>

#include "core/log.h"
#include "core/state.h"
#include "host/cli/commands.h"
#include "tarsin/encoder.h"

namespace tarsin::cli {
namespace {

struct EncodeOptions {
  std::string parameters = "device=Tarsin Virtual Reader 0;protocol=3;open_mode=2";
  size_t logLines = 12;
};

std::deque<std::string> LastLines(const std::string& path, size_t count) {
  std::deque<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    if (lines.size() > count) lines.pop_front();
  }
  return lines;
}

int RunEncode(const EncodeOptions& options) {
  std::string logPath;
  {
    Encoder encoder;
    encoder.Parameters(options.parameters);
    fmt::print("GetInformation: {}\n", encoder.GetInformation());
    fmt::print("Parameters:\n{}\n", encoder.Parameters());
    logPath = encoder.state().log.path;
  }
  fmt::print("Log file: {}\n", logPath);
  for (const std::string& line : LastLines(logPath, options.logLines)) fmt::print("  {}\n", line);
  return 0;
}

}  // namespace

void AddEncodeCommand(CLI::App& app) {
  auto options = std::make_shared<EncodeOptions>();
  CLI::App* cmd = app.add_subcommand("encode", "Encode a card on the configured reader");
  cmd->add_option("-p,--parameters", options->parameters, "Parameter text (key=value;...)");
  cmd->add_option("--log-lines", options->logLines, "How many log lines to show afterwards");
  cmd->callback([options] { exit_status = RunEncode(*options); });
}

}  // namespace tarsin::cli
