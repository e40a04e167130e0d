// `tarsin-rf run SCRIPT` and `tarsin-rf call MEMBER ARGS...`: members called late-bound on one
// Encoder, one call a line, with their results, by-ref outputs and LastError.
#include <fmt/format.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "automation/dispatch.h"
#include "core/ansi_code_page.h"
#include "host/cli/commands.h"
#include "host/cli/reader_choice.h"
#include "host/cli/script.h"
#include "tarsin/encoder.h"

namespace tarsin::cli {
namespace {

using automation::Arguments;
using automation::Member;
using automation::MemberKind;
using nlohmann::json;
using tarsin::ValueType;

struct RunOptions {
  std::string script;
  std::vector<std::string> callWords;
  bool json = false;
  bool stopOnError = false;
  bool useVirtualReader = false;
  std::optional<std::string> parameters;  // set before the first call
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

// Texts from a host, a card or a reader may be Windows-1252: they are shown as UTF-8.
std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : WellFormedUtf8(text)) {
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

json ErrorJson(const CError& e) {
  return {{"Number", e.Number},
          {"Description", WellFormedUtf8(e.Description)},
          {"LastDllError", e.LastDllError},
          {"ComFunction", WellFormedUtf8(e.ComFunction)},
          {"RdrCommand", WellFormedUtf8(e.RdrCommand)},
          {"RdrRetCode", WellFormedUtf8(e.RdrRetCode)}};
}

Outcome Execute(Encoder& encoder, const ScriptCall& call, int line) {
  Outcome outcome{.line = line, .member = call.member};
  try {
    const Member& member = automation::FindMember(call.member, call.propertyLet);
    if (call.propertyLet && member.kind != MemberKind::PropertyLet) {
      throw ComError(kDispMemberNotFound, call.member + " cannot be assigned");
    }
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
    fmt::print("{}: failed 0x{:08X} {}\n", WellFormedUtf8(o.member),
               static_cast<uint32_t>(o.dispatchError->number()),
               WellFormedUtf8(o.dispatchError->description()));
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

// A script file or piped input is read and checked whole before the first call, so that a
// mistake on line N never leaves lines 1 to N-1 done on the card; a terminal runs line by line.
int RunLines(std::istream& in, const RunOptions& options, bool lineByLine) {
  Encoder encoder;
  bool allOk = true;
  bool stopped = false;
  // On a terminal, a long script shows where it is on one line that the next overwrites; the
  // calls' own output goes above it. Never when the output is piped.
  const bool progress =
      !options.json && ::isatty(STDOUT_FILENO) == 1 && ::isatty(STDERR_FILENO) == 1;
  size_t total = 0;
  size_t done = 0;
  const auto execute = [&](const ScriptCall& call, int lineNumber) {
    if (stopped) return;
    if (progress && total > 0) fmt::print(stderr, "\r\x1b[K");
    const Outcome outcome = Execute(encoder, call, lineNumber);
    Print(outcome, options.json);
    std::fflush(stdout);
    allOk = allOk && outcome.ok;
    stopped = !outcome.ok && options.stopOnError;
    if (progress && total > 0 && ++done < total) {
      fmt::print(stderr, "[{}/{}] line {}", done, total, lineNumber);
    }
  };
  // The options' own calls come first, numbered as line 0.
  if (options.parameters) execute({"Parameters", true, {Variant(*options.parameters)}}, 0);
  if (options.open) execute({"OpenEncoder", false, {Variant(int32_t{0})}}, 0);
  std::vector<std::pair<ScriptCall, int>> checked;
  int lineNumber = 0;
  for (std::string line; !stopped && std::getline(in, line);) {
    ++lineNumber;
    if (lineNumber == 1 && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);  // UTF-8 mark
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::optional<ScriptCall> call;
    try {
      call = ParseScriptLine(line);
    } catch (const ScriptError& e) {
      fmt::print(stderr, "line {}: {}\n", lineNumber, e.what());
      return 2;
    }
    if (!call) continue;
    if (lineByLine) {
      execute(*call, lineNumber);
    } else {
      checked.emplace_back(std::move(*call), lineNumber);
    }
  }
  total = checked.size();
  for (const auto& [call, number] : checked) execute(call, number);
  if (progress && total > 0) fmt::print(stderr, "\r\x1b[K");
  return allOk ? 0 : 1;
}

int RunScript(const RunOptions& options) {
  if (options.useVirtualReader) SelectVirtualReader();
  if (options.script == "-") return RunLines(std::cin, options, ::isatty(STDIN_FILENO) == 1);
  std::error_code error;
  if (std::filesystem::is_directory(options.script, error)) {
    fmt::print(stderr, "tarsin-rf: {} is a folder, not a script\n", options.script);
    return 2;
  }
  std::ifstream file(options.script);
  if (!file) {
    fmt::print(stderr, "tarsin-rf: cannot read {}\n", options.script);
    return 2;
  }
  return RunLines(file, options, false);
}

int RunCall(const RunOptions& options) {
  if (options.useVirtualReader) SelectVirtualReader();
  // The words form one script line: the member, then its arguments separated by commas.
  std::string line = options.callWords.front();
  for (size_t i = 1; i < options.callWords.size(); ++i) {
    line += (i == 1 ? " " : ", ") + options.callWords[i];
  }
  std::istringstream in(line);
  return RunLines(in, options, false);
}

void AddCommonFlags(CLI::App* cmd, RunOptions& options) {
  cmd->add_flag("--json", options.json, "One JSON object per call");
  cmd->add_flag("--stop-on-error", options.stopOnError, "Stop at the first call that fails");
  cmd->add_flag("--virtual", options.useVirtualReader,
                "Use the virtual reader built with the project");
  cmd->add_option("--params", options.parameters,
                  "Parameter text set before the first call (device, protocol, open_mode, ...)");
  cmd->add_flag("--open", options.open, "OpenEncoder 0 before the first call");
}

}  // namespace

void AddRunCommands(CLI::App& app) {
  auto options = std::make_shared<RunOptions>();
  CLI::App* run = app.add_subcommand("run", "Run a script of member calls on one Encoder");
  run->add_option("script", options->script, "Script file, - for standard input")->required();
  AddCommonFlags(run, *options);
  run->footer(
      "A script file or piped input is checked whole before the first call. Exit status: 0 "
      "when every call succeeded, 1 when one failed, 2 when the script cannot be read.");
  run->callback([options] { exit_status = RunScript(*options); });

  CLI::App* call = app.add_subcommand("call", "Call one member: MEMBER [ARG...]");
  call->add_option("words", options->callWords, "Member and arguments (script literals)")
      ->required();
  AddCommonFlags(call, *options);
  call->footer(
      "Exit status: 0 when every call succeeded, 1 when one failed, 2 for a line that "
      "cannot be read.");
  call->callback([options] { exit_status = RunCall(*options); });
}

}  // namespace tarsin::cli
