// SPDX-License-Identifier: Apache-2.0
// `tarsin-rf run SCRIPT` and `tarsin-rf call MEMBER ARGS...`: members called late-bound on one
// Encoder, one call a line, with their results, by-ref outputs and LastError.
#include <fmt/format.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <variant>

#include "automation/dispatch.h"
#include "core/ansi_code_page.h"
#include "host/cli/commands.h"
#include "host/cli/reader_choice.h"
#include "host/cli/report.h"
#include "host/cli/script.h"
#include "tarsin/encoder.h"

namespace tarsin::cli {
namespace {

using automation::Arguments;
using automation::Member;
using nlohmann::json;
using tarsin::ValueType;

struct RunOptions {
  std::string script;
  std::vector<std::string> callWords;
  bool json = false;
  bool stopOnError = false;
  bool useVirtualReader = false;
  std::optional<std::string> parameters;  // set before the first call
  std::optional<std::string> reader;      // the device, after the parameters
  bool open = false;                      // OpenEncoder 0 before the first call
};

struct Outcome {
  int line = 0;
  std::string member;
  std::optional<std::string> resultName;  // scesuccess, sceError, sceCanceled
  std::optional<Variant> value;
  std::vector<std::pair<std::string, Variant>> outputs;
  std::optional<CError> error;            // LastError after the call
  std::optional<ComError> dispatchError;  // the call itself failed
  bool ok = true;
};

const char* ReturnCodeName(int32_t code) {
  switch (code) {
    case scesuccess:
      return "scesuccess";
    case sceCanceled:
      return "sceCanceled";
    case sceError:
      return "sceError";
    default:
      return "unknown";
  }
}

// Texts from a host, a card or a reader may be Windows-1252 or hold control characters: they are
// shown as UTF-8, escaped.
std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : Shown(text)) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string ShowValue(const Variant& value) {
  switch (value.kind()) {
    case Variant::Kind::Empty:
      return "Empty";
    case Variant::Kind::Null:
      return "Null";
    case Variant::Kind::Bool:
      return value.asBool() ? "True" : "False";
    case Variant::Kind::String:
      return Quote(value.asString());
    case Variant::Kind::Double:
      return fmt::format("{}", value.asDouble());
    case Variant::Kind::Bytes:
    case Variant::Kind::Array: {
      std::string out = "(";
      for (const Variant& element : value.elements()) {
        if (out.size() > 1) out += ", ";
        out += ShowValue(element);
      }
      return out + ")";
    }
    case Variant::Kind::Object: {
      const CError& e = *value.asObject();
      return fmt::format("CError(0x{:08X}, {}, {}, {}, {}, {})", static_cast<uint32_t>(e.Number),
                         Quote(e.Description), e.LastDllError, Quote(e.ComFunction),
                         Quote(e.RdrCommand), Quote(e.RdrRetCode));
    }
    default:
      return std::to_string(value.asInt64());
  }
}

json ErrorJson(const CError& e);

json ToJson(const Variant& value) {
  switch (value.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
      return nullptr;
    case Variant::Kind::Bool:
      return value.asBool();
    case Variant::Kind::String:
      return WellFormedUtf8(value.asString());
    case Variant::Kind::Double:
      return value.asDouble();
    case Variant::Kind::Bytes:
    case Variant::Kind::Array: {
      json array = json::array();
      for (const Variant& element : value.elements()) array.push_back(ToJson(element));
      return array;
    }
    case Variant::Kind::Object:
      return ErrorJson(*value.asObject());
    default:
      return value.asInt64();
  }
}

// The six fields by their late-bound names.
json ErrorJson(const CError& e) {
  json fields = json::object();
  for (const automation::ErrorField& field : automation::ErrorFields()) {
    fields[std::string(field.name)] = ToJson(automation::GetErrorField(e, field));
  }
  return fields;
}

Outcome Execute(Encoder& encoder, const ScriptCall& call, int line) {
  Outcome outcome{.line = line, .member = call.member};
  try {
    const Member& member = ResolveMember(call);
    outcome.member = std::string(member.name);
    Arguments args = call.args;
    const Variant result = automation::Invoke(encoder, member, args);
    if (member.result == ValueType::ReturnCode) {
      outcome.resultName = ReturnCodeName(static_cast<int32_t>(result.asInt64()));
      outcome.ok = result.asInt64() == scesuccess;
    } else if (member.result != ValueType::None) {
      outcome.value = result;
    }
    for (size_t i = 0; i < args.size(); ++i) {
      if (member.parameters[i].byRef && args[i]) {
        outcome.outputs.emplace_back(std::string(member.parameters[i].name), *args[i]);
      }
    }
  } catch (const ComError& e) {
    outcome.dispatchError = e;
    outcome.ok = false;
  }
  outcome.error = *encoder.LastError();
  return outcome;
}

void Print(const Outcome& o, bool asJson) {
  if (asJson) {
    json out = {{"line", o.line}, {"member", WellFormedUtf8(o.member)}};
    out["result"] = o.resultName ? json(*o.resultName) : json(nullptr);
    out["value"] = o.value ? ToJson(*o.value) : json(nullptr);
    json outputs = json::object();
    for (const auto& [name, value] : o.outputs) outputs[WellFormedUtf8(name)] = ToJson(value);
    out["outputs"] = outputs;
    out["error"] = ErrorJson(*o.error);
    if (o.dispatchError) {
      out["dispatch_error"] = {{"Number", o.dispatchError->number()},
                               {"Description", WellFormedUtf8(o.dispatchError->description())}};
    }
    // Every text is UTF-8 by now; replacing is only the last guard against ending the script.
    fmt::print("{}\n", out.dump(-1, ' ', false, json::error_handler_t::replace));
    return;
  }
  if (o.dispatchError) {
    fmt::print("{}: failed 0x{:08X} {}\n", Shown(o.member),
               static_cast<uint32_t>(o.dispatchError->number()),
               Shown(o.dispatchError->description()));
  } else if (o.resultName) {
    fmt::print("{}: {}\n", o.member, *o.resultName);
  } else if (o.value) {
    fmt::print("{}: {}\n", o.member, ShowValue(*o.value));
  } else {
    fmt::print("{}: done\n", o.member);
  }
  for (const auto& [name, value] : o.outputs) fmt::print("  {} = {}\n", name, ShowValue(value));
  if (!o.ok) {
    const CError& e = *o.error;
    fmt::print("  Number = 0x{:08X}\n  Description = {}\n  LastDllError = {}\n",
               static_cast<uint32_t>(e.Number), Quote(e.Description), e.LastDllError);
    fmt::print("  ComFunction = {}\n  RdrCommand = {}\n  RdrRetCode = {}\n", Quote(e.ComFunction),
               Quote(e.RdrCommand), Quote(e.RdrRetCode));
  }
}

// Runs the calls on one Encoder, the options' own calls first (numbered as line 0), and
// prints each outcome. On a terminal, a long script shows where it is on one line that the next
// overwrites; the calls' own output goes above it. Never when the output is piped.
class Runner {
 public:
  explicit Runner(const RunOptions& options)
      : options_(options),
        progress_(!options.json && ::isatty(STDOUT_FILENO) == 1 && ::isatty(STDERR_FILENO) == 1) {}

  void Start() {
    if (options_.parameters || options_.reader) {
      Execute({"Parameters",
               true,
               {Variant(WithReader(options_.parameters.value_or(""), options_.reader))}},
              0);
    }
    if (options_.open) Execute({"OpenEncoder", false, {Variant(int32_t{0})}}, 0);
  }

  void Execute(const ScriptCall& call, int lineNumber) {
    if (stopped_) return;
    if (progress_ && total_ > 0) fmt::print(stderr, "\r\x1b[K");
    const Outcome outcome = cli::Execute(encoder_, call, lineNumber);
    Print(outcome, options_.json);
    std::fflush(stdout);
    allOk_ = allOk_ && outcome.ok;
    stopped_ = !outcome.ok && options_.stopOnError;
    if (progress_ && total_ > 0 && ++done_ < total_) {
      fmt::print(stderr, "[{}/{}] line {}", done_, total_, lineNumber);
    }
  }

  void RunAll(const std::vector<std::pair<ScriptCall, int>>& calls) {
    total_ = calls.size();
    for (const auto& [call, number] : calls) Execute(call, number);
    if (progress_ && total_ > 0) fmt::print(stderr, "\r\x1b[K");
  }

  int Status() const { return allOk_ ? 0 : 1; }

 private:
  const RunOptions& options_;
  const bool progress_;
  Encoder encoder_;
  bool allOk_ = true;
  bool stopped_ = false;
  size_t total_ = 0;
  size_t done_ = 0;
};

// The call a line makes, or why it would be refused (as `line N: why: the line`).
std::variant<std::monostate, ScriptCall, std::string> Check(const std::string& line,
                                                            int lineNumber) {
  std::optional<std::string> why;
  std::optional<ScriptCall> call;
  try {
    call = ParseScriptLine(line);
    if (call) why = Refusal(*call);
  } catch (const ScriptError& e) {
    why = e.what();
  }
  if (why) return fmt::format("line {}: {}: {}", lineNumber, Shown(*why), Shown(line));
  if (call) return std::move(*call);
  return std::monostate{};
}

// A script file or piped input is read and checked whole, every line resolved against the
// member table as its call will be, before the first call: a mistake on line N never leaves
// lines 1 to N-1 done on the card. A terminal runs line by line, each checked first.
int RunLines(std::istream& in, const RunOptions& options, bool lineByLine) {
  Runner runner(options);
  if (lineByLine) runner.Start();
  std::vector<std::pair<ScriptCall, int>> checked;
  bool refused = false;
  int lineNumber = 0;
  for (std::string line; std::getline(in, line);) {
    ++lineNumber;
    if (lineNumber == 1 && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);  // UTF-8 mark
    if (!line.empty() && line.back() == '\r') line.pop_back();
    auto checkedLine = Check(line, lineNumber);
    if (auto* why = std::get_if<std::string>(&checkedLine)) {
      fmt::print(stderr, "{}\n", *why);
      refused = true;
    } else if (auto* call = std::get_if<ScriptCall>(&checkedLine)) {
      if (lineByLine) {
        runner.Execute(*call, lineNumber);
      } else {
        checked.emplace_back(std::move(*call), lineNumber);
      }
    }
  }
  if (!lineByLine) {
    if (refused) return 2;
    runner.Start();
    runner.RunAll(checked);
  }
  return refused ? 2 : runner.Status();
}

int RunScript(const RunOptions& options) {
  if (options.useVirtualReader && !SelectVirtualReader()) return 2;
  if (options.script == "-") return RunLines(std::cin, options, ::isatty(STDIN_FILENO) == 1);
  std::error_code error;
  if (std::filesystem::is_directory(options.script, error)) {
    fmt::print(stderr, "tarsin-rf: {} is a folder, not a script\n", Shown(options.script));
    return 2;
  }
  std::ifstream file(options.script);
  if (!file) {
    fmt::print(stderr, "tarsin-rf: cannot read {}\n", Shown(options.script));
    return 2;
  }
  return RunLines(file, options, false);
}

int RunCall(const RunOptions& options) {
  if (options.useVirtualReader && !SelectVirtualReader()) return 2;
  const ScriptCall call = CallFromWords(options.callWords);
  if (const auto why = Refusal(call)) {
    std::string line;
    for (const std::string& word : options.callWords) line += (line.empty() ? "" : " ") + word;
    fmt::print(stderr, "line 1: {}: {}\n", Shown(*why), Shown(line));
    return 2;
  }
  Runner runner(options);
  runner.Start();
  runner.RunAll({{call, 1}});
  return runner.Status();
}

void AddCommonFlags(CLI::App* cmd, RunOptions& options) {
  cmd->add_option("-p,--params", options.parameters,
                  "Parameter text set before the first call (device, protocol, open_mode, ...)");
  cmd->add_option("-r,--reader", options.reader,
                  "The reader's name, set as the device after the parameter text");
  cmd->add_flag("--virtual", options.useVirtualReader,
                "Use the virtual reader built with the project");
  cmd->add_flag("--json", options.json, "One JSON object per call");
  cmd->add_flag("--stop-on-error", options.stopOnError, "Stop at the first call that fails");
  cmd->add_flag("--open", options.open, "OpenEncoder 0 before the first call");
}

}  // namespace

void AddRunCommands(CLI::App& app) {
  auto options = std::make_shared<RunOptions>();
  CLI::App* run = app.add_subcommand("run", "Run a script of member calls on one Encoder");
  run->add_option("script", options->script, "Script file, - for standard input")->required();
  AddCommonFlags(run, *options);
  run->footer(
      "A script file or piped input is checked whole before the first call: every bad line is "
      "shown as \"line N: why: the line\" and nothing is called. Exit status: 0 when every "
      "call succeeded, 1 when one failed, 2 when the script cannot be read or has a bad line.");
  run->callback([options] { exit_status = RunScript(*options); });

  CLI::App* call = app.add_subcommand("call", "Call one member: MEMBER [ARG...]");
  call->add_option("words", options->callWords,
                   "The member, then one argument a word: a script literal, or for a text "
                   "parameter the text as typed")
      ->required();
  AddCommonFlags(call, *options);
  call->footer(
      "Exit status: 0 when the call succeeded, 1 when it failed, 2 when it is refused before "
      "the call (unknown member, argument count, a value its parameter cannot take).");
  call->callback([options] { exit_status = RunCall(*options); });
}

}  // namespace tarsin::cli
