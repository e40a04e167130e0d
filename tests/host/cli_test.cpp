// The script reader of `tarsin-rf run`, and `tarsin-rf run --json --virtual`: what the component
// returned, one object per call, and an exit status that follows the results. And what
// `tarsin-rf reg` shows and answers when the registry refuses or the user declines.
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

TEST(Script, LiteralsReadAsTheirKinds) {
  const struct {
    const char* text;
    Variant value;
  } cases[] = {
      {"\"abc\"", Variant("abc")},    {"\"say \"\"hi\"\"\"", Variant("say \"hi\"")},
      {"\"\"", Variant("")},          {"42", Variant(int32_t{42})},
      {"-7", Variant(int32_t{-7})},   {"2.5", Variant(2.5)},
      {"1e3", Variant(1000.0)},       {"4294967296", Variant(4294967296.0)},
      {"&H1F", Variant(int32_t{31})}, {"&hFFFFFFFF", Variant(int32_t{-1})},
      {"True", Variant(true)},        {"false", Variant(false)},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseLiteral(c.text), c.value) << c.text;
}

TEST(Script, BadLiteralsAreRefused) {
  for (const char* text : {"abc", "\"open", "\"a\"b\"", "&H", "&H123456789", "0x10", "nan"}) {
    EXPECT_THROW(ParseLiteral(text), ScriptError) << text;
  }
}

TEST(Script, LinesBecomeCalls) {
  auto call = ParseScriptLine("  EscapeExt \"ff ca, 00\", , \"x\"  ' get the UID");
  ASSERT_TRUE(call);
  EXPECT_EQ(call->member, "EscapeExt");
  EXPECT_FALSE(call->propertyLet);
  ASSERT_EQ(call->args.size(), 3u);
  EXPECT_EQ(*call->args[0], Variant("ff ca, 00"));
  EXPECT_FALSE(call->args[1].has_value());
  EXPECT_EQ(*call->args[2], Variant("x"));

  call = ParseScriptLine("Parameters = \"device=A;protocol=2\"");
  ASSERT_TRUE(call);
  EXPECT_TRUE(call->propertyLet);
  EXPECT_EQ(*call->args.at(0), Variant("device=A;protocol=2"));

  call = ParseScriptLine("CloseEncoder ' done");
  ASSERT_TRUE(call);
  EXPECT_TRUE(call->args.empty());

  EXPECT_FALSE(ParseScriptLine("   "));
  EXPECT_FALSE(ParseScriptLine("' a comment"));
}

TEST(Script, MalformedLinesAreRefused) {
  for (const char* line :
       {"= 3", "Parameters =", "Parameters = 1, 2", "OpenEncoder(0)", "WriteLog \"unterminated"}) {
    EXPECT_THROW(ParseScriptLine(line), ScriptError) << line;
  }
}

struct RunResult {
  int status;
  std::vector<nlohmann::json> calls;
};

class CliRun : public testing::VirtualReaderTest {
 protected:
  // `tarsin-rf run` with `flags` on `target` (the script written to a file when not given).
  RunResult Run(const std::string& script, const std::string& flags = "--json --virtual",
                std::optional<std::filesystem::path> target = std::nullopt) {
    if (!target) {
      target = log_.root() / "script.txt";
      std::ofstream(*target) << script;
    }
    // --virtual must find the provider by itself.
    provider_.Set(std::nullopt);
    const auto output = log_.root() / "output.json";
    const std::string command = std::string(TARSIN_TEST_CLI) + " run " + flags + " '" +
                                target->string() + "' > '" + output.string() + "' 2>&1";
    RunResult result{WEXITSTATUS(std::system(command.c_str())), {}};
    std::istringstream lines(testing::FileContent(output));
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with("{")) result.calls.push_back(nlohmann::json::parse(line));
    }
    return result;
  }
};

// What the component returned, then an exit status that follows the results: a call that
// failed, one the dispatch refused, and a script stopped at its first error.
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
  run = Run(open + "\"\nOpenEncoder 0\n" + serial + "NoSuchMember\n");
  EXPECT_EQ(run.status, 1);
  ASSERT_EQ(run.calls.size(), 4u);
  EXPECT_EQ(run.calls[2]["result"], "sceError");
  // Numbers are numbers: 0x90010F06 as the signed 32-bit value.
  EXPECT_EQ(run.calls[2]["error"]["Number"], static_cast<int32_t>(0x90010F06));
  EXPECT_EQ(run.calls[2]["error"]["RdrCommand"], "SelectCardInRange:SCardConnect");
  EXPECT_EQ(run.calls[3]["dispatch_error"]["Number"], static_cast<int32_t>(0x80020006));

  run = Run("OpenEncoder \"not a number\"\nGetInformation\n", "--json --virtual --stop-on-error");
  EXPECT_EQ(run.status, 1);
  ASSERT_EQ(run.calls.size(), 1u);
  EXPECT_EQ(run.calls[0]["dispatch_error"]["Number"], static_cast<int32_t>(0x80020005));
}

// A script is checked whole before its first call; a folder is no script; texts that are not
// UTF-8 come out through the ANSI code page, UTF-8 as it is.
TEST_F(CliRun, ScriptsAreReadWholeAndShownAsUtf8) {
  EXPECT_EQ(Run("GetInformation\nWriteLog \"x\"\nOpenEncoder(0)\n").calls.size(), 0u);
  EXPECT_EQ(Run("", "--json", log_.root()).status, 2);
  const RunResult run =
      Run("\xEF\xBB\xBFGetResponseText \"caf\xE9\", \"x\"\nGetResponseText \"caf\xC3\xA9 \x80\", "
          "\"x\"\n");
  ASSERT_EQ(run.calls.size(), 2u);
  EXPECT_EQ(run.calls[0]["value"], "[Unknown]  Unknown retcode 'CAF\xC3\xA9'.");
  EXPECT_EQ(run.calls[1]["value"], "[Unknown]  Unknown retcode 'CAF\xC3\xA9 \xE2\x82\xAC'.");
}

// `readers` and `wait`: what they print and how they end, resource manager missing included.
TEST_F(CliRun, ReadersAndWaitsEndAsTheyShould) {
  provider_.Set(std::nullopt);
  const std::string noService = std::string("TARSIN_RF_PCSC_LIBRARY='") + TARSIN_TEST_STUB_PCSC +
                                "' TARSIN_STUB_PCSC_MODE=no-service ";
  const struct {
    std::string command;
    int status;
    std::string shown;  // in the output, standard error included
  } cases[] = {
      {noService + TARSIN_TEST_CLI + " readers", 1,
       "The Smart card resource manager is not running (SCARD_E_NO_SERVICE)."},
      {noService + TARSIN_TEST_CLI + " wait -t 0", 1, "resource manager is not running"},
      {std::string(TARSIN_TEST_CLI) + " readers --virtual", 0, "MIFARE Classic 1K, ATR 3B 8F"},
      {std::string(TARSIN_TEST_CLI) + " wait --virtual --json", 0, "{\"card\":{\"atr\":\"3B 8F"},
      {std::string(TARSIN_TEST_CLI) + " wait --virtual --removal -t 0.2", 1, "timeout"},
      {std::string(TARSIN_TEST_CLI) + " wait --virtual -r Nobody", 1, "not recognized"},
  };
  const auto output = log_.root() / "output.txt";
  for (const auto& c : cases) {
    const int status =
        WEXITSTATUS(std::system((c.command + " > '" + output.string() + "' 2>&1").c_str()));
    const std::string shown = testing::FileContent(output);
    EXPECT_EQ(status, c.status) << c.command << '\n' << shown;
    EXPECT_NE(shown.find(c.shown), std::string::npos) << c.command << '\n' << shown;
  }
}

class CliReg : public registry::TemporaryRegistry {
 protected:
  struct Outcome {
    int status;
    std::string out;
    std::string err;
  };
  // `arguments` are single-quoted for the shell; `answer` is the user's reply to any prompt.
  Outcome Reg(const std::vector<std::string>& arguments, const std::string& answer = "") {
    std::string command = "printf '" + answer + "' | " + TARSIN_TEST_CLI + " reg";
    for (const std::string& argument : arguments) command += " '" + argument + "'";
    const auto out = folder_ / "out.txt";
    const auto err = folder_ / "err.txt";
    command += " > '" + out.string() + "' 2> '" + err.string() + "'";
    const int status = WEXITSTATUS(std::system(command.c_str()));
    return {status, testing::FileContent(out), testing::FileContent(err)};
  }
};

// Each row runs on what the rows before it left.
TEST_F(CliReg, RefusalsShowWindowsTextAndADeclinedPromptIsNoSuccess) {
  ASSERT_EQ(Reg({"add", "HKCU\\Software\\T", "/v", "v", "/d", "old", "/f"}).status, 0);
  const std::string longName = "HKCU\\Software\\" + std::string(256, 'n');
  std::string tooDeep = "HKCU";
  for (int level = 1; level <= 513; ++level) tooDeep += "\\k";
  const struct {
    bool declined;
    int status;
    std::string shown;  // in the error output when the status is 1 and nothing was declined
    std::vector<std::string> arguments;
  } cases[] = {
      {true, 1, "canceled by the user", {"add", "HKCU\\Software\\T", "/v", "v", "/d", "new"}},
      {true, 1, "canceled by the user", {"delete", "HKCU\\Software\\T", "/v", "v"}},
      {false, 0, "REG_SZ    old", {"query", "HKCU\\Software\\T", "/v", "v"}},
      {false, 1, "ERROR: The parameter is incorrect. (error 87)", {"add", longName}},
      {false, 1, "the requested service. (error 1450)", {"add", tooDeep}},
      {false, 1, "find the specified registry key or value.", {"query", "HKCU\\Nowhere"}},
  };
  for (const auto& c : cases) {
    const Outcome outcome = Reg(c.arguments, c.declined ? "n\\n" : "");
    EXPECT_EQ(outcome.status, c.status) << c.arguments[0] << ' ' << c.arguments[1];
    EXPECT_NE((c.status != 0 && !c.declined ? outcome.err : outcome.out).find(c.shown),
              std::string::npos)
        << outcome.out << outcome.err;
  }
  const auto saved = folder_ / "saved.reg";
  EXPECT_EQ(Reg({"export", "HKCU\\Software\\T", saved.string(), "/y"}).status, 0);
  EXPECT_TRUE(testing::FileContent(saved).starts_with(std::string("\xFF\xFEW\0i\0", 6)));
  // A hive that is not a registry file at all.
  for (const char* companion : {"-wal", "-shm"}) {
    std::filesystem::remove(hiveFile("HKEY_CURRENT_USER").string() + companion);
  }
  std::ofstream(hiveFile("HKEY_CURRENT_USER"), std::ios::trunc) << std::string(4096, 'x');
  EXPECT_EQ(Reg({"query", "HKCU\\Software\\T"}).err,
            "ERROR: The registry is corrupted. The structure of one of the files containing "
            "registry data is corrupted, or the system's memory image of the file is corrupted, "
            "or the file could not be recovered because the alternate copy or log was absent or "
            "corrupted. (error 1015)\n");
}

}  // namespace
}  // namespace tarsin
