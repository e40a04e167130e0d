// SPDX-License-Identifier: Apache-2.0
// `tarsin-rf readers` and `wait`: the readers with their cards, and a wait for a card to arrive
// or leave, through the same calls hosts use (tarsin/readers.h).
#include <fmt/format.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>

#include "core/ansi_code_page.h"
#include "host/cli/card_names.h"
#include "host/cli/commands.h"
#include "host/cli/reader_choice.h"
#include "host/cli/report.h"
#include "tarsin/encoder.h"
#include "tarsin/readers.h"

namespace tarsin::cli {
namespace {

struct WatchOptions {
  bool json = false;
  bool useVirtualReader = false;
  std::string reader;
  bool removal = false;
  std::optional<double> timeout;
};

// The reader's description from its attributes, one line each; it needs a connected card.
nlohmann::json ReaderLines(const std::string& name) {
  Encoder encoder;
  // Both protocols: only the attributes are read, so any card may connect.
  encoder.Parameters(WithReader("protocol=3;open_mode=2", name));
  if (encoder.OpenEncoder(0) != scesuccess) return nlohmann::json::array();
  nlohmann::json lines = DescriptionLines(encoder);
  encoder.CloseEncoder();
  return lines;
}

nlohmann::json Entry(const ReaderStatus& status) {
  nlohmann::json card = nullptr;
  if (status.CardPresent) {
    card = {{"type", CardTypeName(status.CardType)},
            {"type_number", static_cast<int32_t>(status.CardType)},
            {"atr", status.ATR}};
  }
  return {{"name", WellFormedUtf8(status.Name)}, {"card", card}};
}

// Names and attributes come from the reader's driver: shown escaped, like every other command's.
void Print(const nlohmann::json& entry) {
  fmt::print("{}\n", Shown(entry["name"].get<std::string>()));
  if (entry.contains("reader")) {
    for (const auto& line : entry["reader"]) fmt::print("  {}\n", Shown(line.get<std::string>()));
  }
  const auto& card = entry["card"];
  fmt::print("  {}\n", card.is_null() ? std::string("no card")
                                      : fmt::format("{}, ATR {}", card["type"].get<std::string>(),
                                                    card["atr"].get<std::string>()));
}

int Failed(const ReaderOutcome& outcome) {
  fmt::print(stderr, "tarsin-rf: {}\n", outcome.Description);
  return 1;
}

int Readers(const WatchOptions& options) {
  if (options.useVirtualReader && !SelectVirtualReader()) return 2;
  std::vector<ReaderStatus> readers;
  if (ReaderOutcome outcome = ReaderWatch().List(readers); outcome.Number != 0) {
    return Failed(outcome);
  }
  nlohmann::json list = nlohmann::json::array();
  for (const ReaderStatus& status : readers) {
    nlohmann::json entry = Entry(status);
    entry["reader"] = ReaderLines(status.Name);
    list.push_back(std::move(entry));
  }
  if (options.json) {
    fmt::print("{}\n", list.dump());
    return 0;
  }
  if (list.empty()) fmt::print("no reader\n");
  for (const auto& entry : list) Print(entry);
  return 0;
}

int Wait(const WatchOptions& options) {
  if (options.useVirtualReader && !SelectVirtualReader()) return 2;
  uint32_t milliseconds = kWaitForever;
  if (options.timeout) {
    milliseconds = static_cast<uint32_t>(std::clamp(*options.timeout * 1000.0, 0.0, 4294967294.0));
  }
  ReaderStatus status;
  const ReaderOutcome outcome = ReaderWatch().WaitForCard(
      options.reader, options.removal ? CardEvent::Removal : CardEvent::Arrival, milliseconds,
      status);
  if (outcome.Number != 0) return Failed(outcome);
  const nlohmann::json entry = Entry(status);
  if (options.json) {
    fmt::print("{}\n", entry.dump());
  } else {
    Print(entry);
  }
  return 0;
}

}  // namespace

void AddCardWatchCommands(CLI::App& app) {
  auto options = std::make_shared<WatchOptions>();
  CLI::App* readers = app.add_subcommand("readers", "List the PC/SC readers and their cards");
  readers->add_flag("--json", options->json, "One JSON array");
  readers->add_flag("--virtual", options->useVirtualReader, "The virtual readers instead");
  readers->footer(
      "Exit status: 0; 1 when the resource manager cannot be reached (its text on standard "
      "error); 2 when the virtual reader is not built.");
  readers->callback([options] { exit_status = Readers(*options); });

  CLI::App* wait = app.add_subcommand(
      "wait", "Wait until a card is in a reader's field (or, with --removal, until it is empty)");
  wait->add_option("-r,--reader", options->reader, "The reader (any reader when left out)");
  wait->add_flag("--removal", options->removal, "Wait for the field to be empty instead");
  wait->add_option("-t,--timeout", options->timeout, "Seconds to wait (for ever when left out)")
      ->check(CLI::NonNegativeNumber);
  wait->add_flag("--json", options->json, "One JSON object");
  wait->add_flag("--virtual", options->useVirtualReader, "The virtual readers instead");
  wait->footer(
      "Prints the reader and its card. Exit status: 0; 1 on a timeout, an unknown reader, no "
      "reader or no resource manager (the reason on standard error); 2 when the virtual reader "
      "is not built.");
  wait->callback([options] { exit_status = Wait(*options); });
}

}  // namespace tarsin::cli
