// SPDX-License-Identifier: Apache-2.0
// The main job: encode a card on the configured reader.
#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include "core/ansi_code_page.h"
#include "core/ascii_text.h"
#include "core/log.h"
#include "host/cli/commands.h"
#include "host/cli/reader_choice.h"
#include "host/cli/report.h"
#include "tarsin/encoder.h"

namespace tarsin::cli {
namespace {

struct EncodeOptions {
  std::string reader;  // none: the virtual reader
  std::string parameters = "protocol=2;open_mode=2";
  bool useVirtualReader = false;
  bool json = false;
  size_t logLines = 20;
  std::string key = "FFFFFFFFFFFF";  // the transport key of a blank card
  int32_t dataBlock = 4;
  std::string data = "54415253494E2052462044454D4F2031";  // "TARSIN RF DEMO 1"
  int32_t valueBlock = 5;
  int32_t value = 100;
};

constexpr uint8_t kKeyA = 1;
constexpr const char* kDefaultVirtualReader = "Tarsin Virtual Reader 0";

// What the run shows: labelled fields as it goes, or one JSON object at the end.
class Shower {
 public:
  explicit Shower(bool json) : json_(json) {}

  void Field(std::string_view label, const std::string& text) {
    if (json_) {
      std::string key(label);
      for (char& c : key) c = AsciiLower(c);
      document_[key] = WellFormedUtf8(text);
    } else {
      PrintField(label, text);
    }
  }

  // The outcome of one card operation; false, with LastError's fields, when it failed.
  // `why` words the failure where LastError's description alone would not.
  bool Step(Encoder& encoder, sceReturnCode result, std::string_view label, std::string_view done,
            const std::string& why = {}) {
    const CError& error = *encoder.LastError();
    const std::string text =
        result == scesuccess ? std::string(done)
                             : fmt::format("failed: {} (0x{:08X}, {}, {}, {})",
                                           why.empty() ? error.Description : why,
                                           static_cast<uint32_t>(error.Number), error.ComFunction,
                                           error.RdrCommand, error.RdrRetCode);
    if (json_) {
      document_["steps"].push_back(
          {{"step", label}, {result == scesuccess ? "done" : "failed", WellFormedUtf8(text)}});
    } else {
      PrintField(label == lastLabel_ ? "" : label, text);
    }
    lastLabel_ = std::string(label);
    return result == scesuccess;
  }

  nlohmann::json& Document() { return document_; }

 private:
  bool json_;
  nlohmann::json document_ = {{"steps", nlohmann::json::array()}};
  std::string lastLabel_;
};

// Opens the reader, reads the UID, writes and reads back a data block, writes a value block.
bool EncodeCard(Encoder& encoder, const EncodeOptions& options, const std::string& reader,
                Shower& shower) {
  sceReturnCode result = encoder.OpenEncoder(0);
  // With no card in the field the reader still opens; the card is what we need.
  if (result == scesuccess && encoder.LastError()->Number != 0) result = sceError;
  if (!shower.Step(encoder, result, "Session", "opened, card in the field",
                   OpenFailure(*encoder.LastError(), reader))) {
    return false;
  }

  // Each call runs before its step reads the outputs.
  std::string uid;
  result = encoder.ReadSerialNumber(uid);
  if (!shower.Step(encoder, result, "UID", uid)) return false;

  const std::string block = fmt::format("Block {}", options.dataBlock);
  std::string written = options.data;
  result = encoder.WriteDataBloc(options.dataBlock, options.key, kKeyA, written);
  if (!shower.Step(encoder, result, block, "written " + written)) return false;
  std::string read;
  result = encoder.ReadDataBloc(options.dataBlock, options.key, kKeyA, read);
  if (!shower.Step(encoder, result, block, "read    " + read)) return false;
  if (read != written) {
    shower.Field("Mismatch", "the block read back differs from the block written");
    return false;
  }

  result = encoder.WriteValueBloc(options.valueBlock, options.key, kKeyA, options.value);
  return shower.Step(encoder, result, fmt::format("Block {}", options.valueBlock),
                     fmt::format("value block {}", options.value));
}

int RunEncode(const EncodeOptions& options) {
  // The encoder reads the same environment on its first line; the size taken now marks where
  // this run's lines begin.
  const std::string logPath = DefaultLogPath();
  const uintmax_t logStart = FileSize(logPath);
  Shower shower(options.json);
  if (!options.json) fmt::print("Tarsin RF encoder\n");
  // A real card is written only on the reader the user named.
  const bool useVirtualReader = options.useVirtualReader || options.reader.empty();
  if (useVirtualReader && !SelectVirtualReader()) return 2;
  const std::string reader = options.reader.empty() ? kDefaultVirtualReader : options.reader;
  shower.Field("Reader", useVirtualReader && options.reader.empty()
                             ? reader + " (virtual; name a real one with --reader)"
                             : reader);
  bool encoded = false;
  {
    Encoder encoder;
    encoder.Parameters(WithReader(options.parameters, reader));
    shower.Field("Information", encoder.GetInformation());
    shower.Field("Parameters", encoder.Parameters());
    encoded = EncodeCard(encoder, options, reader, shower);
    encoder.CloseEncoder();
  }
  shower.Field("Result", encoded ? "card encoded" : "card not encoded");
  if (options.json) {
    auto [lines, total] = LinesAfter(logPath, logStart, options.logLines);
    nlohmann::json& document = shower.Document();
    document["encoded"] = encoded;
    document["log"] = logPath;
    document["log_lines"] = nlohmann::json::array();
    for (const std::string& line : lines) document["log_lines"].push_back(WellFormedUtf8(line));
    fmt::print("{}\n", document.dump());
  } else {
    PrintLogTail(logPath, logStart, options.logLines);
  }
  return encoded ? 0 : 1;
}

}  // namespace

void AddEncodeCommand(CLI::App& app) {
  auto options = std::make_shared<EncodeOptions>();
  CLI::App* cmd = app.add_subcommand(
      "encode", "Encode a MIFARE Classic card: on the virtual reader, or on the reader named");
  cmd->add_option("-p,--params", options->parameters,
                  "Parameter text (protocol, force_reconnect, open_mode); the reader is given "
                  "with --reader")
      ->capture_default_str();
  cmd->add_option("-r,--reader", options->reader,
                  "The reader's name, whole (tarsin-rf readers lists them); without it, the "
                  "virtual reader \"Tarsin Virtual Reader 0\"");
  cmd->add_flag("--virtual", options->useVirtualReader,
                "Use the virtual reader built with the project (with --reader: the one so named)");
  cmd->add_flag("--json", options->json, "One JSON object");
  cmd->footer(
      "Exit status: 0 when the card was encoded, 1 when not, 2 for a usage error or without a "
      "virtual reader.");
  cmd->add_option("--key", options->key, "Key A of the sectors written (12 hex digits)")
      ->capture_default_str();
  cmd->add_option("--data-block", options->dataBlock, "Block written and read back")
      ->capture_default_str();
  cmd->add_option("--data", options->data, "The data block's contents (32 hex digits)")
      ->capture_default_str();
  cmd->add_option("--value-block", options->valueBlock, "Block written as a value block")
      ->capture_default_str();
  cmd->add_option("--value", options->value, "The value block's value")->capture_default_str();
  cmd->add_option("--log-lines", options->logLines, "How many log lines of this run to show")
      ->capture_default_str();
  cmd->callback([options] { exit_status = RunEncode(*options); });
}

}  // namespace tarsin::cli
