// SPDX-License-Identifier: Apache-2.0
// `tarsin-rf run`'s script reader, and its --json output: one object per call, an exit status by
// the results. And what `tarsin-rf reg` shows when the registry refuses or the user declines.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "host/cli/script.h"
#include "registry/temporary_registry.h"
#include "support/virtual_reader.h"

namespace tarsin {
namespace {

using cli::ParseLiteral;
using cli::ParseScriptLine;
using cli::ScriptError;
using ::testing::HasSubstr;

TEST(Script, LiteralsReadAsTheirKinds) {
  const std::pair<const char*, Variant> cases[] = {
      {"\"abc\"", Variant("abc")},    {"\"say \"\"hi\"\"\"", Variant("say \"hi\"")},
      {"\"\"", Variant("")},          {"42", Variant(int32_t{42})},
      {"-7", Variant(int32_t{-7})},   {"2.5", Variant(2.5)},
      {"1e3", Variant(1000.0)},       {"4294967296", Variant(4294967296.0)},
      {"&H1F", Variant(int32_t{31})}, {"&hFFFFFFFF", Variant(int32_t{-1})},
      {"True", Variant(true)},        {"false", Variant(false)},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(ParseLiteral(text), value) << text;
}

TEST(Script, LinesBecomeCalls) {
  auto call = ParseScriptLine("  EscapeExt \"ff ca, 00\", , \"x\"  ' get the UID");
  ASSERT_TRUE(call);
  EXPECT_EQ(call->member, "EscapeExt");
  EXPECT_FALSE(call->propertyLet);
  EXPECT_EQ(call->args, (std::vector<std::optional<Variant>>{"ff ca, 00", std::nullopt, "x"}));
  // A property written: CliRun.PrintsWhatTheComponentReturnedAndExitsByTheResults.
  EXPECT_FALSE(ParseScriptLine("   "));
  EXPECT_FALSE(ParseScriptLine("' a comment"));
}

TEST(Script, BadLiteralsAndLinesAreRefused) {
  for (const char* text : {"abc", "\"open", "\"a\"b\"", "&H", "&H123456789", "0x10", "nan"})
    EXPECT_THROW(ParseLiteral(text), ScriptError) << text;
  for (const char* line :
       {"= 3", "Parameters =", "Parameters = 1, 2", "OpenEncoder(0)", "WriteLog \"unterminated"})
    EXPECT_THROW(ParseScriptLine(line), ScriptError) << line;
}

constexpr const char* kParameters = "protocol=2;open_mode=2";

struct RunResult {
  int status;
  std::string out, err;
  std::vector<nlohmann::json> calls;  // the JSON lines of the standard output
  std::string output() const { return out + err; }
};

// tarsin-rf with `arguments` each passed whole (none holds a quote), after `prefix` (settings, a
// pipe), in `folder`.
RunResult RunCli(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
                 const std::string& prefix = "") {
  std::string command = prefix + TARSIN_TEST_CLI;
  for (const std::string& argument : arguments) command += " '" + argument + "'";
  const auto out = folder / "out.txt", err = folder / "err.txt";
  command += " > '" + out.string() + "' 2> '" + err.string() + "'";
  const int status = WEXITSTATUS(std::system(command.c_str()));
  RunResult result{status, testing::FileContent(out), testing::FileContent(err), {}};
  std::istringstream lines(result.out);
  for (std::string line; std::getline(lines, line);)
    if (line.starts_with("{")) result.calls.push_back(nlohmann::json::parse(line));
  return result;
}

class CliRun : public testing::VirtualReaderTest {
 protected:
  RunResult Cli(const std::vector<std::string>& arguments, const std::string& prefix = "") {
    return RunCli(log_.root(), arguments, prefix);
  }

  // `tarsin-rf` with `flags` on `script`, written to a file.
  RunResult Run(const std::string& script,
                std::vector<std::string> flags = {"run", "--json", "--virtual"}) {
    const auto file = log_.root() / "script.txt";
    std::ofstream(file) << script;
    flags.push_back(file.string());
    return Cli(flags);
  }
};

// What the component returned; the exit status: a call failed, one refused, a stop at the first
// error.
TEST_F(CliRun, PrintsWhatTheComponentReturnedAndExitsByTheResults) {
  const std::string open = "Parameters = \"device=Tarsin Virtual Reader 0;protocol=2";
  const std::string serial = "Escape \"FFCA000000\", \"\"\n";
  RunResult run = Run("' open, identify, read the UID, close\n" + open +
                      ";open_mode=2\"\nOpenEncoder 0\n\nCardType\n"
                      "EscapeExt \"ff ca 00 00 00\", \"\", \"\"\n" +
                      serial + "CloseEncoder\n");
  EXPECT_EQ(run.status, 0);
  ASSERT_EQ(run.calls.size(), 6u);
  EXPECT_EQ(run.calls[0]["member"], "Parameters");
  EXPECT_EQ(run.calls[1]["line"], 3);
  EXPECT_EQ(run.calls[1]["result"], "scesuccess");
  EXPECT_EQ(run.calls[2]["value"], 17);
  EXPECT_EQ(run.calls[3]["outputs"],
            (nlohmann::json{{"Response", "04 A1 B2 C3"}, {"RetCode", "90 00"}}));
  EXPECT_EQ(run.calls[4]["outputs"]["Response"], "04A1B2C3");
  EXPECT_EQ(run.calls[5]["error"]["ComFunction"], "CloseEncoder");
  EXPECT_EQ(run.calls[5]["error"]["Number"], 0);

  SetCardPresent(false);
  run = Run(open + "\"\nOpenEncoder 0\n" + serial + "CloseEncoder\nReaderType\n");
  EXPECT_EQ(run.status, 1);
  ASSERT_EQ(run.calls.size(), 5u);
  EXPECT_EQ(run.calls[2]["result"], "sceError");
  // Numbers are numbers: 0x90010F06 as the signed 32-bit value.
  EXPECT_EQ(run.calls[2]["error"]["Number"], static_cast<int32_t>(0x90010F06));
  EXPECT_EQ(run.calls[2]["error"]["RdrCommand"], "SelectCardInRange:SCardConnect");
  EXPECT_EQ(run.calls[4]["dispatch_error"]["Number"], static_cast<int32_t>(0x90010F01));

  run = Run("ReaderType\nGetInformation\n", {"run", "--json", "--virtual", "--stop-on-error"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.calls.size(), 1u);
}

// A folder is no script; texts that are not UTF-8 come out through the ANSI code page, UTF-8 as
// it is. (A script checked whole before its first call: AScriptWithBadLinesCallsNothing.)
TEST_F(CliRun, ScriptsAreReadWholeAndShownAsUtf8) {
  EXPECT_EQ(Cli({"run", "--json", log_.root().string()}).status, 2);
  const RunResult run =
      Run("\xEF\xBB\xBFGetResponseText \"caf\xE9\", \"x\"\nGetResponseText \"caf\xC3\xA9 \x80\", "
          "\"x\"\n");
  ASSERT_EQ(run.calls.size(), 2u);
  EXPECT_EQ(run.calls[0]["value"], "[Unknown]  Unknown retcode 'CAF\xC3\xA9'.");
  EXPECT_EQ(run.calls[1]["value"], "[Unknown]  Unknown retcode 'CAF\xC3\xA9 \xE2\x82\xAC'.");
}

// A script with a misspelt member, a missing argument and one too many calls nothing: every bad
// line is reported, and the block the lines before them would write is as it was.
TEST_F(CliRun, AScriptWithBadLinesCallsNothing) {
  const RunResult run =
      Run("OpenEncoder 0\n"
          "WriteDataBloc 4, \"FFFFFFFFFFFF\", 1, \"00112233445566778899AABBCCDDEEFF\"\n"
          "MifareWriteDataBlock 5, \"FFFFFFFFFFFF\", 1, \"0011\"\n"
          "WriteValueBloc 5, \"FFFFFFFFFFFF\", 1\n"
          "CloseEncoder 1\n",
          {"run", "--json", "--virtual", "-p", kParameters, "-r", testing::kReader});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.calls.empty()) << run.output();
  for (const char* reported :
       {"line 3: Unknown name: MifareWriteDataBlock: MifareWriteDataBlock 5,",
        "line 4: Wrong number of arguments for WriteValueBloc: 3 given, 4 to 4 expected: ",
        "line 5: Wrong number of arguments for CloseEncoder: 1 given, 0 to 0 expected: "})
    EXPECT_THAT(run.output(), HasSubstr(reported));
  // An unquoted key for a text parameter is that text.
  const RunResult read =
      Cli({"call", "--virtual", "--json", "-p", kParameters, "-r", testing::kReader, "--open",
           "ReadDataBloc", "4", "FFFFFFFFFFFF", "1", "\"\""});
  ASSERT_EQ(read.status, 0) << read.output();
  EXPECT_EQ(read.calls.back()["outputs"]["BlocContents"], std::string(32, '0'));
}

// Failures named as they are (a missing resource manager in PC/SC's words), one set of options
// and exit codes, names shown escaped. Each row runs on what the rows before it left.
TEST_F(CliRun, FailuresAreNamedAndUsageErrorsExitTwo) {
  nlohmann::json empty = testing::Reader("Empty", testing::Classic1K());
  empty["cardPresent"] = false;
  readers_.WriteReaders({testing::Reader(testing::kReader, testing::Classic1K()), empty});
  const std::string hostile = "Bad\x1B[31mName";
  const std::string noService = std::string("TARSIN_RF_PCSC_LIBRARY='") + TARSIN_TEST_STUB_PCSC +
                                "' TARSIN_STUB_PCSC_MODE=no-service ";
  const std::string notRunning =
      "tarsin-rf: The Smart card resource manager is not running (SCARD_E_NO_SERVICE).\n";
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string shown;
    std::string prefix = "";
  } cases[] = {
      {{"encode", "--virtual", "-r", "No Such Reader"}, 1, "unknown reader \"No Such Reader\""},
      {{"info", "--virtual", "-r", "Empty"}, 0, "no card on reader \"Empty\""},
      {{"info", "--virtual", "--json"}, 0, "\"state\":\"ready\""},
      {{"virtual", "show"}, 0, "Empty: mifare-classic-1k 04A1B2C3 (out of the field)"},
      {{"show", "--virtual", "-r", "Empty"}, 1, "no card on reader \"Empty\""},
      {{"virtual", "insert", "no-such-card"}, 1, "unknown card type \"no-such-card\""},
      {{"virtual", "insert", "mifare-ultralight", "-r", "Nope"}, 1, "reader named \"Nope\""},
      {{"virtual", "remove", "-r", "Nope"}, 1, "no virtual reader named \"Nope\""},
      {{"show", "--virtual", "-k", "123"}, 2, "a key is 12 hex digits, not \"123\""},
      {{"frobnicate"}, 2, "unknown subcommand \"frobnicate\""},
      {{"show", "--no-such-option"}, 2, "--no-such-option"},
      {{"info", "-p"}, 2, "-p"},
      {{"--version"}, 0, "tarsin-rf 1.0.0"},
      {{"call", "--virtual", "OpenEncoder", "zero"}, 2, "1: Argument 1 (Handle) of OpenEncoder"},
      {{"info", "--virtual", "-r", hostile}, 1, "unknown reader \"Bad\\x1B[31mName\""},
      {{"log", "-n", "60"}, 0, "\"Bad\\x1B[31mName\""},
      {{"readers", "--virtual"}, 0, "MIFARE Classic 1K, ATR 3B 8F"},
      {{"wait", "--virtual", "--json"}, 0, "{\"card\":{\"atr\":\"3B 8F"},
      {{"wait", "--virtual", "-r", "Empty", "-t", "0.2"}, 1, "timeout value has expired"},
      {{"wait", "--virtual", "--removal", "-r", "Nope"}, 1, "reader name is not recognized"},
      {{"readers"}, 1, notRunning, noService},
      {{"wait", "-t", "0"}, 1, notRunning, noService},
  };
  for (const auto& c : cases) {
    const RunResult run = Cli(c.arguments, c.prefix);
    EXPECT_EQ(run.status, c.status) << c.arguments[0] << ' ' << c.arguments.back() << run.output();
    EXPECT_THAT(run.output(), HasSubstr(c.shown));
    EXPECT_EQ(run.output().find('\x1B'), std::string::npos) << run.output();
  }
  // The log file keeps the name's bytes.
  EXPECT_THAT(log_.content(), HasSubstr(hostile));

  // A status word comes with its text; a card lost mid-way leaves an incomplete listing.
  ForceStatusWords(0x6982, 2);
  RunResult run = Cli({"show", "--virtual", "-r", testing::kReader, "-p", kParameters});
  EXPECT_EQ(run.status, 0) << run.output();
  EXPECT_THAT(run.output(), HasSubstr("6982 [Aborted]  Security state not satisfied."));
  auto readers = readers_.Read();
  readers["readers"][0]["faults"]["removeCardDuringTransmit"] = 20;
  readers_.Write(readers);
  run = Cli({"show", "--virtual", "-r", testing::kReader, "-p", kParameters, "--json"});
  EXPECT_EQ(run.status, 1) << run.output();
  ASSERT_EQ(run.calls.size(), 1u) << run.output();
  EXPECT_TRUE(run.calls[0].contains("incomplete")) << run.output();

  std::ofstream(readers_.path(), std::ios::trunc) << "{\"readers\": [";
  run = Cli({"virtual", "show"});
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.output(), HasSubstr("is corrupt: [json.exception.parse_error"));
}

// A name is data: of "X" and "X;b" side by side, each is listed and encoded as itself.
TEST_F(CliRun, EncodeWritesTheCardOfTheReaderNamedWhole) {
  const std::string other = std::string(testing::kReader) + ";b";
  nlohmann::json second = testing::Reader(other, testing::Classic1K("11223344"));
  second["ifdType"] = "Other type";
  readers_.WriteReaders(
      {testing::Reader(testing::kReader, testing::Classic1K("04A1B2C3")), second});
  const auto listed = nlohmann::json::parse(Cli({"readers", "--virtual", "--json"}).out);
  EXPECT_EQ(listed[1]["reader"][2], "Type: Other type") << listed;
  const RunResult run = Cli({"encode", "--virtual", "--json", "--reader", other});
  ASSERT_EQ(run.status, 0) << run.output();
  ASSERT_EQ(run.calls.size(), 1u) << run.output();
  EXPECT_EQ(run.calls[0]["steps"][1]["done"], "11223344");
  const nlohmann::json readers = readers_.Read()["readers"];
  EXPECT_EQ(readers[1]["card"]["blocks"][4], "54415253494E2052462044454D4F2031");
  EXPECT_FALSE(readers[0]["card"].contains("blocks"));
}

class CliReg : public registry::TemporaryRegistry {
 protected:
  // `answer` is the user's reply to any prompt.
  RunResult Reg(std::vector<std::string> arguments, const std::string& answer = "") {
    arguments.insert(arguments.begin(), "reg");
    return RunCli(folder_.path(), arguments, "printf '" + answer + "' | ");
  }
};

// Each row runs on what the rows before it left.
TEST_F(CliReg, RefusalsShowWindowsTextAndADeclinedPromptIsNoSuccess) {
  ASSERT_EQ(Reg({"add", "HKCU\\Software\\T", "/v", "v", "/d", "old", "/f"}).status, 0);
  const std::string longName = "HKCU\\Software\\" + std::string(256, 'n');
  std::string tooDeep = "HKCU";
  for (int level = 1; level <= 513; ++level) tooDeep += "\\k";
  // Declined, status, shown (in the error output when the status is 1 and nothing was declined).
  const std::tuple<bool, int, std::string, std::vector<std::string>> cases[] = {
      {true, 1, "canceled by the user", {"add", "HKCU\\Software\\T", "/v", "v", "/d", "new"}},
      {true, 1, "canceled by the user", {"delete", "HKCU\\Software\\T", "/v", "v"}},
      {false, 0, "REG_SZ    old", {"query", "HKCU\\Software\\T", "/v", "v"}},
      {false, 1, "ERROR: The parameter is incorrect. (error 87)", {"add", longName}},
      {false, 1, "the requested service. (error 1450)", {"add", tooDeep}},
      {false, 1, "find the specified registry key or value.", {"query", "HKCU\\Nowhere"}},
  };
  for (const auto& [declined, status, shown, arguments] : cases) {
    const RunResult outcome = Reg(arguments, declined ? "n\\n" : "");
    EXPECT_EQ(outcome.status, status) << arguments[0] << ' ' << arguments[1];
    EXPECT_THAT(status != 0 && !declined ? outcome.err : outcome.out, HasSubstr(shown))
        << outcome.out << outcome.err;
  }
  const auto saved = folder_ / "saved.reg";
  EXPECT_EQ(Reg({"export", "HKCU\\Software\\T", saved.string(), "/y"}).status, 0);
  EXPECT_TRUE(testing::FileContent(saved).starts_with(std::string("\xFF\xFEW\0i\0", 6)));
  // A hive that is not a registry file at all.
  for (const char* companion : {"-wal", "-shm"})
    std::filesystem::remove(hiveFile("HKEY_CURRENT_USER").string() + companion);
  std::ofstream(hiveFile("HKEY_CURRENT_USER"), std::ios::trunc) << std::string(4096, 'x');
  EXPECT_EQ(Reg({"query", "HKCU\\Software\\T"}).err,
            "ERROR: The registry is corrupted. The structure of one of the files containing "
            "registry data is corrupted, or the system's memory image of the file is corrupted, "
            "or the file could not be recovered because the alternate copy or log was absent or "
            "corrupted. (error 1015)\n");
}

}  // namespace
}  // namespace tarsin
