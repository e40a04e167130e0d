// SPDX-License-Identifier: Apache-2.0
// `tarsin-rf show`: opens the reader, identifies the card and shows what it holds.
#include <fmt/format.h>

#include "core/ansi_code_page.h"
#include "core/error_catalogue.h"
#include "host/cli/card_names.h"
#include "host/cli/commands.h"
#include "host/cli/reader_choice.h"
#include "host/cli/report.h"
#include "host/cli/show.h"
#include "pcsc/status_texts.h"

namespace tarsin::cli {
namespace {

struct ShowOptions {
  std::string parameters = "device=Tarsin Virtual Reader 0;protocol=2;open_mode=2";
  std::optional<std::string> reader;  // the device, after the parameters
  std::vector<std::string> keys;
  std::string cardKey = "0000000000000000";
  std::vector<std::string> appKeys;
  bool json = false;
  bool useVirtualReader = false;
};

bool IsStatusWord(std::string_view text) {
  return text.size() == 4 && text.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

// A MIFARE key is 12 hex digits: anything else would only be refused sector after sector.
const CLI::Validator MifareKey(
    [](const std::string& key) {
      const bool hex =
          key.size() == 12 && key.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
      return hex ? std::string() : "a key is 12 hex digits, not \"" + Shown(key) + "\"";
    },
    "KEY");

int Show(const ShowOptions& options) {
  if (options.useVirtualReader && !SelectVirtualReader()) return 2;
  std::map<std::string, std::string> appKeys;
  for (const std::string& given : options.appKeys) {
    const size_t equals = given.find('=');
    if (equals == std::string::npos) {
      fmt::print(stderr, "tarsin-rf: --app-key takes AID=KEY, not \"{}\"\n", given);
      return 2;
    }
    appKeys[given.substr(0, equals)] = given.substr(equals + 1);
  }
  std::vector<std::string> keys = options.keys;
  keys.emplace_back("FFFFFFFFFFFF");  // the transport key of a blank card, tried last
  const std::string parameters = WithReader(options.parameters, options.reader);
  Encoder encoder;
  encoder.Parameters(parameters);
  if (encoder.OpenEncoder(0) != scesuccess || encoder.ATRString().empty()) {
    fmt::print(stderr, "tarsin-rf: {}\n",
               Shown(OpenFailure(*encoder.LastError(), DeviceOf(parameters))));
    return 1;
  }
  const int32_t cardType = encoder.CardType();
  nlohmann::json shown = {{"atr", encoder.ATRString()}, {"card_type", CardTypeName(cardType)}};
  switch (cardType) {
    case sceMifare1K:
    case sceMifare4K:
    case sceMifareUltralight:
      shown.update(ShowMifare(encoder, cardType, keys));
      break;
    case sceDESFire:
      shown.update(ShowDesfire(encoder, options.cardKey, appKeys));
      break;
    default:
      break;
  }
  encoder.CloseEncoder();
  const int status = shown.contains("incomplete") ? 1 : 0;
  if (options.json) {
    fmt::print("{}\n", shown.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    return status;
  }
  fmt::print("{}, ATR {}\n", shown["card_type"].get<std::string>(),
             shown["atr"].get<std::string>());
  if (cardType == sceDESFire) {
    PrintDesfire(shown);
  } else if (shown.contains("sectors")) {
    PrintMifare(shown);
  }
  if (status != 0) {
    fmt::print(stderr, "tarsin-rf: the listing is incomplete: {}\n",
               Shown(shown["incomplete"].get<std::string>()));
  }
  return status;
}

}  // namespace

CardFailure LastFailure(Encoder& encoder) {
  const CError& error = *encoder.LastError();
  const std::string& answer = error.RdrRetCode;
  if (IsStatusWord(answer)) {
    return {fmt::format("{}: {} {}", error.Description, answer, StatusWordText(answer)), false};
  }
  const auto number = static_cast<uint32_t>(error.Number);
  const bool lost = number == errors::kNoCard.number || number == errors::kEncoderClosed.number ||
                    number == errors::kCannotConnect.number || !answer.empty();
  return {answer.empty() ? error.Description : fmt::format("{}: {}", error.Description, answer),
          lost};
}

void AddShowCommand(CLI::App& app) {
  auto options = std::make_shared<ShowOptions>();
  CLI::App* show = app.add_subcommand("show", "Show what the card in the field holds");
  show->add_option("-p,--params", options->parameters, "Parameter text")->capture_default_str();
  show->add_option("-r,--reader", options->reader,
                   "The reader's name, set as the device after the parameter text");
  show->add_option("-k,--key", options->keys,
                   "MIFARE Classic: a key to try on every sector, as key A then key B (repeat "
                   "for several; FFFFFFFFFFFF is tried last)")
      ->check(MifareKey);
  show->add_option("--card-key", options->cardKey, "DESFire: the card master key")
      ->capture_default_str();
  show->add_option("--app-key", options->appKeys,
                   "DESFire: AID=KEY, an application's master key (repeat for several; the zero "
                   "key otherwise)");
  show->add_flag("--virtual", options->useVirtualReader, "Use the virtual reader");
  show->add_flag("--json", options->json, "One JSON object");
  show->footer(
      "Exit status: 0; 1 when there is no card, or when the listing is incomplete (the card left "
      "the field or the reader failed: the rest is not shown); 2 for a usage error.");
  show->callback([options] { exit_status = Show(*options); });
}

}  // namespace tarsin::cli
