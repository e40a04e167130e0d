// SPDX-License-Identifier: Apache-2.0
// The log's lines, levels, file and path; the parameters text; queries that only explain.
#include "core/log.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <tuple>

#include "core/encoder_access.h"
#include "core/error.h"
#include "support/scratch_folder.h"
#include "tarsin/encoder.h"

namespace tarsin {
namespace {

using testing::Line;
using testing::LogFolder;
using testing::ScopedEnvironment;

TEST(Log, IndentationFollowsTheArrowsAtTheStartOnly) {
  const std::pair<std::vector<std::string>, std::vector<int>> cases[] = {
      {{"--> A", "x", "--> B", "y", "<-- B", "<-- A", "z"}, {0, 1, 1, 2, 1, 0, 0}},
      {{"<-- A", "x", "--> A", "<-- A", "<-- A", "--> B", "x"}, {0, 0, 0, 0, 0, 0, 1}},
      {{"-->A", "-->\tA", " --> A", "a --> b", "x", "--> A", "<--A", "x <-- A", "y"},
       {0, 0, 0, 0, 0, 0, 1, 1, 1}},
      {{"--> ", "", "<-- ", ""}, {0, 1, 0, 0}}};
  for (const auto& [messages, levels] : cases) {
    LogFolder log;
    EncoderState state;
    std::vector<std::string> expected;
    for (size_t i = 0; i < messages.size(); ++i) {
      WriteLog(state, messages[i]);
      expected.push_back(Line(levels[i], messages[i]));
    }
    EXPECT_EQ(log.lines(), expected);
  }
}

TEST(Log, TimestampIsLocalTime) {
  LogFolder log;
  struct ReloadZoneLast {
    ~ReloadZoneLast() { ::tzset(); }
  } reload;
  ScopedEnvironment zone("TZ", "TST-05:30");  // an offset no machine's UTC clock shares
  ::tzset();
  EncoderState state;
  const std::time_t before = std::time(nullptr);
  WriteLog(state, "x");
  const std::time_t after = std::time(nullptr);
  const std::string line = log.content();
  std::tm parsed{};
  ASSERT_NE(::strptime(line.c_str(), "%Y-%m-%d %H:%M:%S", &parsed), nullptr) << line;
  const std::time_t written = ::timegm(&parsed) - (5 * 3600 + 30 * 60);
  EXPECT_GE(written, before);
  EXPECT_LE(written, after);
  EXPECT_EQ(line.substr(19), "   x\r\n");
}

TEST(Log, ConcurrentWritersKeepEveryLineWhole) {
  LogFolder log;
  std::vector<std::thread> writers;
  for (char letter : {'a', 'b', 'c', 'd'}) {
    writers.emplace_back([letter] {
      EncoderState state;
      for (int i = 0; i < 200; ++i) WriteLog(state, std::string(4000, letter));
    });
  }
  for (std::thread& writer : writers) writer.join();
  const std::vector<std::string> lines = log.lines();
  ASSERT_EQ(lines.size(), 800u);
  for (const std::string& line : lines) EXPECT_EQ(line.substr(4), std::string(4000, line[4]));
}

TEST(Log, FileIsCreatedForItsOwnerOnlyAndNeverThroughALink) {
  LogFolder log;
  const mode_t saved = ::umask(0);
  EncoderState state;
  WriteLog(state, "x");
  ::umask(saved);
  struct stat status {};
  ASSERT_EQ(::stat(log.file().c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  // A file left readable by others is narrowed by the next object that writes to it.
  ASSERT_EQ(::chmod(log.file().c_str(), 0644), 0);
  EncoderState next;
  WriteLog(next, "y");
  ASSERT_EQ(::stat(log.file().c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);

  const std::filesystem::path target = log.root() / "elsewhere";
  std::ofstream(target) << "";
  std::filesystem::remove(log.file());
  std::filesystem::create_symlink(target, log.file());
  WriteLog(state, "secret");
  EXPECT_EQ(std::filesystem::file_size(target), 0u);
}

// Another user's file under the log's name is never written to: found at the first line, or put
// in place of ours later in a folder others may write to (the fall-back folder is one).
TEST(Log, AnotherUsersFileIsNeverWrittenTo) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a file away needs root";
  for (const bool sharedFolder : {false, true}) {
    LogFolder log;
    EncoderState state;
    if (sharedFolder) {
      ASSERT_EQ(::chmod(log.folder().c_str(), 01777), 0);
      WriteLog(state, "ours");
      std::filesystem::remove(log.file());
    }
    std::ofstream(log.file()) << "theirs\n";
    ASSERT_EQ(::chown(log.file().c_str(), 4242, 4242), 0);
    WriteLog(state, "secret");
    EXPECT_EQ(log.content(), "theirs\n") << sharedFolder;
  }
}

// A full disk cuts a line short (here a file-size limit does): the next begins a line of its own.
TEST(Log, ALineCutShortDoesNotSwallowTheNext) {
  LogFolder log;
  EncoderState state;
  WriteLog(state, "first");
  const auto size = std::filesystem::file_size(log.file());
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit = saved;
  limit.rlim_cur = size + 30;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
  WriteLog(state, "cut short by the full disk");
  WriteLog(state, "lost");
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  WriteLog(state, "whole");
  EXPECT_EQ(log.lines(),
            (std::vector<std::string>{Line(0, "first"), "T   cut shor", Line(0, "whole")}));
}

TEST(Log, MissingFolderLosesTheLineButNotTheLevel) {
  LogFolder log(/*withLogFolder=*/false);
  EncoderState state;
  WriteLog(state, "--> A");
  EXPECT_FALSE(std::filesystem::exists(log.root() / "Quillon"));
  std::filesystem::create_directories(log.folder());
  WriteLog(state, "x");
  EXPECT_EQ(log.lines(), std::vector<std::string>{Line(1, "x")});
}

TEST(Log, PathFromTheEnvironment) {
  const std::string suffix = "Quillon/Nemora/Tarsin RF.log";
  const std::tuple<std::optional<std::string>, std::optional<std::string>, std::string> cases[] = {
      {"/d", "/h", "/d/" + suffix},
      {"/d/", "/h", "/d/" + suffix},
      {std::nullopt, "/h", "/h/.local/share/" + suffix},
      {"", "/h", "/h/.local/share/" + suffix},
      {"relative", "/h", "/h/.local/share/" + suffix},
      {std::nullopt, std::nullopt, "/tmp/Tarsin RF.log"},
      {"", "relative", "/tmp/Tarsin RF.log"}};
  for (const auto& [dataHome, home, path] : cases) {
    ScopedEnvironment setData("XDG_DATA_HOME", dataHome), setHome("HOME", home);
    EXPECT_EQ(DefaultLogPath(), path);
  }
}

TEST(ParametersLet, SetsTheFieldsOfANewEncoder) {
  LogFolder log;
  const struct {
    std::string text;
    std::string device = "<unknown>";
    int32_t protocol = 1;
    bool forceReconnect = false;
    int32_t openMode = 1;
  } cases[] = {{"device=Reader A;protocol=2;open_mode=2;force_reconnect=1", "Reader A", 2, true, 2},
               {"DEVICE = Reader B", " Reader B"},  // key trimmed, value kept as given
               {"  Device  =Reader C ", "Reader C "},
               {"device=A=B", "A=B"},
               {"device", ""},
               {"device=A;device=B;protocol=3;protocol=2", "B", 2},
               {";;device=X;;=3;protocol", "X", 0},
               {"Encoding capabilities=none;unknown=3;devices=Y"},
               {"device=A;B\r\nprotocol=2;open_mode=3\r\n", "A;B", 2},  // with CRLF ";" is data
               {"open_mode=5"},
               {"open_mode=2.4"},
               {"open_mode=2.0", "<unknown>", 1, false, 2},
               {"open_mode=&H3", "<unknown>", 1, false, 3},
               {"force_reconnect=True"},
               {"force_reconnect=-1", "<unknown>", 1, true},
               {"force_reconnect=0.001", "<unknown>", 1, true},
               {"protocol=2.5", "<unknown>", 2},
               {"protocol=3.5", "<unknown>", 4},
               {"protocol=&H2", "<unknown>", 2},
               {"protocol=T=1", "<unknown>", 0},
               {"protocol=99999999999"}};  // cannot be taken: the protocol stays as it was
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.text));
    Encoder encoder;
    SetError(StateOf(encoder), {.number = 0x90010F04, .comFunction = "EncoderCommand"});
    encoder.Parameters(c.text);
    const EncoderState& s = StateOf(encoder);
    EXPECT_EQ(std::tuple(s.Device, s.Protocol, s.ForceReconnect, s.OpenMode),
              std::tuple(c.device, c.protocol, c.forceReconnect, c.openMode));
    const CError& e = *encoder.LastError();
    EXPECT_EQ(std::tuple(e.Number, e.ComFunction, e.RdrCommand), std::tuple(0, "Parameters", ""));
  }
}

TEST(ParametersLog, TextIsLoggedLineByLine) {
  LogFolder log;
  const std::string more(18, ' ');
  {
    Encoder encoder;
    encoder.Parameters("device=A;protocol=2");
    encoder.Parameters("device=X\r\n");
  }
  EXPECT_EQ(log.lines(),
            (std::vector<std::string>{
                Line(0, "--> Constructor"),
                Line(1,
                     "--> Set Parameters = \"Encoding capabilities=Mifare Classic, Mifare "
                     "Ultralight"),
                Line(2, more + "Device=<unknown>"),
                Line(2, more + "Protocol=1"),
                Line(2, more + "Force_Reconnect=False"),
                Line(2, more + "Open_Mode=1\""),
                Line(1, "<-- Set Parameters"),
                Line(1, "--> Let ATRString"),
                Line(1, "<-- Let ATRString"),
                Line(0, "<-- Constructor"),
                Line(0, "--> Set Parameters = \"device=A;protocol=2\""),
                Line(0, "<-- Set Parameters"),
                Line(0, "--> Set Parameters = \"device=X"),
                Line(1, more + "\""),
                Line(0, "<-- Set Parameters"),
                Line(0, "--> Destructor"),
                Line(1, "--> CloseEncoderQuietly"),
                Line(2, "--> Let ATRString"),
                Line(2, "<-- Let ATRString"),
                Line(1, "<-- CloseEncoderQuietly"),
                Line(0, "<-- Destructor")}));
}

TEST(GetResponseText, ExplainsWithoutLoggingOrTouchingTheError) {
  LogFolder log;
  Encoder encoder;
  SetError(StateOf(encoder), {.number = 0x90010F04, .comFunction = "EncoderCommand"});
  const size_t linesBefore = log.lines().size();
  EXPECT_EQ(encoder.GetResponseText("6982", "Host"), "[Aborted]  Security state not satisfied.");
  EXPECT_EQ(log.lines().size(), linesBefore);
  EXPECT_EQ(static_cast<uint32_t>(encoder.LastError()->Number), 0x90010F04u);
  EXPECT_EQ(encoder.LastError()->ComFunction, "EncoderCommand");
}

TEST(GetInformation, FourFieldsAndItsLogLines) {
  LogFolder log;
  Encoder encoder;
  SetError(StateOf(encoder), {.number = 1, .comFunction = "X"});
  const std::string info = encoder.GetInformation();
  EXPECT_TRUE(
      std::regex_match(info, std::regex(R"(Nemora\|Tarsin RF\|(0|[1-9]\d*)(\.(0|[1-9]\d*)){2})"
                                        R"(\|Mifare Classic, Mifare Ultralight, Mifare DESFire)")))
      << info;
  EXPECT_EQ(std::tuple(encoder.LastError()->Number, encoder.LastError()->ComFunction),
            std::tuple(0, "GetInformation"));
  EXPECT_EQ(log.lines(log.lines().size() - 3),
            (std::vector<std::string>{Line(0, "--> GetInformation"),
                                      Line(1, "GetInformation returns: " + info),
                                      Line(0, "<-- GetInformation")}));
}

}  // namespace
}  // namespace tarsin
