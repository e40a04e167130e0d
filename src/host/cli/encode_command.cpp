// The main job: encode a card on the configured reader.
#include <fmt/format.h>

#include "core/log.h"
#include "host/cli/commands.h"
#include "host/cli/reader_choice.h"
#include "host/cli/report.h"
#include "tarsin/encoder.h"

namespace tarsin::cli {
namespace {

struct EncodeOptions {
  std::string reader;  // a real reader, named by the user; none: the virtual reader
  std::string parameters = "protocol=2;open_mode=2";
  size_t logLines = 20;
  std::string key = "FFFFFFFFFFFF";  // the transport key of a blank card
  int32_t dataBlock = 4;
  std::string data = "54415253494E2052462044454D4F2031";  // "TARSIN RF DEMO 1"
  int32_t valueBlock = 5;
  int32_t value = 100;
};

constexpr uint8_t kKeyA = 1;

// Prints the outcome of one card operation; false, with LastError's fields, when it failed.
bool Report(Encoder& encoder, sceReturnCode result, std::string_view label, std::string_view done) {
  if (result == scesuccess) {
    PrintField(label, done);
    return true;
  }
  const CError& error = *encoder.LastError();
  PrintField(label, fmt::format("failed: {} (0x{:08X}, {}, {}, {})", error.Description,
                                static_cast<uint32_t>(error.Number), error.ComFunction,
                                error.RdrCommand, error.RdrRetCode));
  return false;
}

// Opens the reader, reads the UID, writes and reads back a data block, writes a value block.
bool EncodeCard(Encoder& encoder, const EncodeOptions& options) {
  sceReturnCode result = encoder.OpenEncoder(0);
  // With no card in the field the reader still opens; the card is what we need.
  if (result == scesuccess && encoder.LastError()->Number != 0) result = sceError;
  if (!Report(encoder, result, "Session", "opened, card in the field")) return false;

  // Each call runs before its report reads the outputs.
  std::string uid;
  result = encoder.ReadSerialNumber(uid);
  if (!Report(encoder, result, "UID", uid)) return false;

  std::string written = options.data;
  result = encoder.WriteDataBloc(options.dataBlock, options.key, kKeyA, written);
  if (!Report(encoder, result, fmt::format("Block {}", options.dataBlock),
              fmt::format("written {}", written))) {
    return false;
  }
  std::string read;
  result = encoder.ReadDataBloc(options.dataBlock, options.key, kKeyA, read);
  if (!Report(encoder, result, "", fmt::format("read    {}", read))) return false;
  if (read != written) {
    PrintField("", "the block read back differs from the block written");
    return false;
  }

  return Report(
      encoder, encoder.WriteValueBloc(options.valueBlock, options.key, kKeyA, options.value),
      fmt::format("Block {}", options.valueBlock), fmt::format("value block {}", options.value));
}

int RunEncode(const EncodeOptions& options) {
  // The encoder reads the same environment on its first line; the size taken now marks where
  // this run's lines begin.
  const std::string logPath = DefaultLogPath();
  const uintmax_t logStart = FileSize(logPath);
  fmt::print("Tarsin RF encoder\n");
  // A real card is written only on the reader the user named.
  std::string device = options.reader;
  if (device.empty()) {
    if (!SelectVirtualReader()) return 2;
    device = "Tarsin Virtual Reader 0";
    PrintField("Reader", "virtual (name a real one with --reader)");
  }
  bool encoded = false;
  {
    Encoder encoder;
    encoder.Parameters("device=" + device + ";" + options.parameters);
    PrintField("Information", encoder.GetInformation());
    PrintField("Parameters", encoder.Parameters());
    encoded = EncodeCard(encoder, options);
    encoder.CloseEncoder();
  }
  PrintField("Result", encoded ? "card encoded" : "card not encoded");
  PrintLogTail(logPath, logStart, options.logLines);
  return encoded ? 0 : 1;
}

}  // namespace

void AddEncodeCommand(CLI::App& app) {
  auto options = std::make_shared<EncodeOptions>();
  CLI::App* cmd = app.add_subcommand(
      "encode", "Encode a MIFARE Classic card: on the virtual reader, or on the reader named");
  cmd->add_option("-r,--reader", options->reader,
                  "A PC/SC reader's name (tarsin-rf readers lists them); without it, the virtual "
                  "reader");
  cmd->add_option("-p,--parameters", options->parameters,
                  "Parameter text after the device: key=value entries separated by ';' "
                  "(protocol, force_reconnect, open_mode)")
      ->capture_default_str();
  cmd->footer("Exit status: 0 when the card was encoded, 1 when not, 2 without a virtual reader.");
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
