// SPDX-License-Identifier: Apache-2.0
// `tarsin-rf info` and `log`: what the encoder sees of its reader and card, and the diagnostic
// log's tail.
#include <fmt/format.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "core/ansi_code_page.h"
#include "core/log.h"
#include "core/parameter_text.h"
#include "host/cli/card_names.h"
#include "host/cli/commands.h"
#include "host/cli/reader_choice.h"
#include "host/cli/report.h"
#include "tarsin/encoder.h"

namespace tarsin::cli {
namespace {

struct ReaderOptions {
  std::string parameters = "device=Tarsin Virtual Reader 0;protocol=2;open_mode=2";
  std::optional<std::string> reader;  // the device, after the parameters
  bool json = false;
  bool useVirtualReader = false;
  size_t lines = 20;
  bool follow = false;
};

// What an opened encoder sees: the card, its state and the reader's description. The card is
// read first: asking for the state selects the card again, which forgets its ATR.
nlohmann::json Describe(Encoder& encoder) {
  const std::string atr = encoder.ATRString();
  const int32_t cardType = encoder.CardType();
  const int32_t serialLength = encoder.SerialNumberLength();
  const int32_t state = encoder.EncoderState();
  const std::vector<std::string> lines = DescriptionLines(encoder);
  nlohmann::json card = nullptr;
  if (!atr.empty()) {
    card = {{"type", CardTypeName(cardType)},
            {"type_number", cardType},
            {"atr", atr},
            {"serial_number_length", serialLength}};
  }
  const char* states[] = {"unknown", "closed", "opened", "ready"};
  return {
      {"state", states[state >= 0 && state <= 3 ? state : 0]}, {"reader", lines}, {"card", card}};
}

int Info(const ReaderOptions& options) {
  if (options.useVirtualReader && !SelectVirtualReader()) return 2;
  const std::string parameters = WithReader(options.parameters, options.reader);
  Encoder encoder;
  encoder.Parameters(parameters);
  const bool opened = encoder.OpenEncoder(0) == scesuccess;
  // The queries below clear LastError: the open's own outcome is kept now.
  const CError openError = *encoder.LastError();
  nlohmann::json info = Describe(encoder);
  info["information"] = encoder.GetInformation();
  // One line each, as the component writes them.
  const std::string text = WellFormedUtf8(encoder.Parameters());
  nlohmann::json lines = nlohmann::json::array();
  for (std::string_view line : SplitAt(text, "\r\n")) {
    if (!line.empty()) lines.push_back(std::string(line));
  }
  info["parameters"] = lines;
  if (!opened || openError.Number != 0) {
    info["error"] = WellFormedUtf8(OpenFailure(openError, DeviceOf(parameters)));
  }
  encoder.CloseEncoder();
  if (options.json) {
    fmt::print("{}\n", info.dump());
  } else {
    for (const auto& [key, value] : info.items()) {
      if (value.is_array()) {
        for (size_t i = 0; i < value.size(); ++i) {
          fmt::print("{:<12}{}\n", i == 0 ? key : "", Shown(value[i].get<std::string>()));
        }
      } else if (value.is_object()) {
        for (const auto& [field, text] : value.items()) {
          fmt::print("{:<12}{}: {}\n", field == value.begin().key() ? key : "", field,
                     Shown(text.is_string() ? text.get<std::string>() : text.dump()));
        }
      } else {
        fmt::print("{:<12}{}\n", key,
                   Shown(value.is_string() ? value.get<std::string>() : value.dump()));
      }
    }
  }
  return opened ? 0 : 1;
}

// The last `count` lines, then, when following, whatever is appended (a file that shrinks was
// started anew: read it from its beginning).
int Log(const ReaderOptions& options) {
  const std::string path = DefaultLogPath();
  if (!std::ifstream(path) && !options.follow) {
    fmt::print(stderr, "tarsin-rf: no log at {}\n", Shown(path));
    return 1;
  }
  for (const std::string& line : LinesAfter(path, 0, options.lines).first) {
    fmt::print("{}\n", Shown(line));
  }
  std::fflush(stdout);
  if (!options.follow) return 0;
  uintmax_t offset = FileSize(path);
  std::error_code error;
  for (std::string pending;; std::this_thread::sleep_for(std::chrono::milliseconds(200))) {
    const uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size == offset) continue;
    if (size < offset) offset = 0;
    std::ifstream more(path, std::ios::binary);
    more.seekg(static_cast<std::streamoff>(offset));
    std::string chunk(static_cast<size_t>(size - offset), '\0');
    more.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    chunk.resize(static_cast<size_t>(more.gcount()));
    offset += chunk.size();
    pending += chunk;
    // Whole lines only: a line being written shows when it ends.
    for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
      std::string line = pending.substr(0, end);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      fmt::print("{}\n", Shown(line));
    }
    std::fflush(stdout);
  }
}

}  // namespace

void AddReaderCommands(CLI::App& app) {
  auto options = std::make_shared<ReaderOptions>();
  CLI::App* info = app.add_subcommand(
      "info", "Open the reader and show the component, the reader, the card and its ATR");
  info->add_option("-p,--params", options->parameters, "Parameter text")->capture_default_str();
  info->add_option("-r,--reader", options->reader,
                   "The reader's name, set as the device after the parameter text");
  info->add_flag("--virtual", options->useVirtualReader, "Use the virtual reader");
  info->add_flag("--json", options->json, "One JSON object");
  info->footer(
      "Exit status: 0 when the reader opened, 1 otherwise (the error names what failed), 2 for "
      "a usage error.");
  info->callback([options] { exit_status = Info(*options); });

  CLI::App* log = app.add_subcommand("log", "Show the end of the diagnostic log");
  log->add_option("-n,--lines", options->lines, "How many lines")->capture_default_str();
  log->add_flag("-f,--follow", options->follow, "Keep showing lines as they are written");
  log->footer(
      "Control characters in the log (a reader's name may hold some) are shown as \\xHH; the "
      "file keeps them. Exit status: 0, or 1 when there is no log yet.");
  log->callback([options] { exit_status = Log(*options); });
}

}  // namespace tarsin::cli
