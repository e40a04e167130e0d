#include "core/log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "core/log_folder.h"
#include "tarsin/encoder.h"

namespace tarsin {
namespace {

using testing::Line;
using testing::LogFolder;
using testing::ScopedEnvironment;

struct IndentationCase {
  const char* name;
  std::vector<std::string> messages;
  std::vector<int> levels;
};
void PrintTo(const IndentationCase& c, std::ostream* os) {
  *os << c.name;
}

class LogIndentationTest : public ::testing::TestWithParam<IndentationCase> {};

TEST_P(LogIndentationTest, FollowsTheArrowsAtTheStartOnly) {
  LogFolder log;
  EncoderState state;
  std::vector<std::string> expected;
  for (size_t i = 0; i < GetParam().messages.size(); ++i) {
    WriteLog(state, GetParam().messages[i]);
    expected.push_back(Line(GetParam().levels[i], GetParam().messages[i]));
  }
  EXPECT_EQ(log.lines(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    All, LogIndentationTest,
    ::testing::Values(
        IndentationCase{
            "Nested", {"--> A", "x", "--> B", "y", "<-- B", "<-- A", "z"}, {0, 1, 1, 2, 1, 0, 0}},
        IndentationCase{"ExitAtLevelZero", {"<-- A", "<-- A", "x"}, {0, 0, 0}},
        IndentationCase{
            "MoreExitsThanEntries", {"--> A", "<-- A", "<-- A", "--> B", "x"}, {0, 0, 0, 0, 1}},
        IndentationCase{"UnclosedEntries", {"--> A", "--> B", "--> C", "x"}, {0, 1, 2, 3}},
        IndentationCase{"NoBlankAfterTheArrow",
                        {"-->A", "-->\tA", "x", "--> A", "<--A", "y"},
                        {0, 0, 0, 0, 1, 1}},
        IndentationCase{"ArrowNotAtTheStart",
                        {" --> A", "a --> b", "x", "--> A", "x <-- A", "y"},
                        {0, 0, 0, 0, 1, 1}},
        IndentationCase{"ArrowAloneAndEmpty", {"--> ", "", "<-- ", ""}, {0, 1, 0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

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
  parsed.tm_isdst = 0;
  const std::time_t written = ::timegm(&parsed) - (5 * 3600 + 30 * 60);
  EXPECT_GE(written, before);
  EXPECT_LE(written, after);
  EXPECT_EQ(line.substr(19), "   x\r\n");
}

TEST(Log, TwoEncodersKeepTheirOwnLevelsInOneFile) {
  LogFolder log;
  Encoder first;
  Encoder second;
  const size_t before = log.lines().size();
  first.WriteLog("--> A");
  second.WriteLog("x");
  first.WriteLog("y");
  second.WriteLog("--> B");
  first.WriteLog("<-- A");
  second.WriteLog("z");
  std::vector<std::string> lines = log.lines();
  lines.erase(lines.begin(), lines.begin() + static_cast<long>(before));
  EXPECT_EQ(lines, (std::vector<std::string>{Line(0, "--> A"), Line(0, "x"), Line(1, "y"),
                                             Line(0, "--> B"), Line(0, "<-- A"), Line(1, "z")}));
}

TEST(Log, ConcurrentWritersKeepEveryLineWhole) {
  LogFolder log;
  constexpr int kWriters = 4;
  constexpr int kLines = 200;
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([w] {
      EncoderState state;
      for (int i = 0; i < kLines; ++i)
        WriteLog(state, std::string(4000, static_cast<char>('a' + w)));
    });
  }
  for (std::thread& writer : writers) writer.join();
  const std::vector<std::string> lines = log.lines();
  ASSERT_EQ(lines.size(), static_cast<size_t>(kWriters * kLines));
  for (const std::string& line : lines) {
    const std::string message = line.substr(5);
    EXPECT_EQ(message, std::string(4000, message.front()));
  }
}

TEST(Log, FileIsCreatedForItsOwnerOnly) {
  LogFolder log;
  const mode_t saved = ::umask(0);
  EncoderState state;
  WriteLog(state, "x");
  ::umask(saved);
  struct stat status {};
  ASSERT_EQ(::stat(log.file().c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
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

TEST(Log, SymbolicLinkIsNotFollowed) {
  LogFolder log;
  const std::filesystem::path target = log.root() / "elsewhere";
  std::ofstream(target) << "";
  std::filesystem::create_symlink(target, log.file());
  EncoderState state;
  WriteLog(state, "secret");
  EXPECT_EQ(std::filesystem::file_size(target), 0u);
}

TEST(Log, PathIsChosenOnceOnTheFirstLine) {
  LogFolder first;
  EncoderState state;
  WriteLog(state, "one");
  LogFolder second;
  WriteLog(state, "two");
  EXPECT_EQ(first.lines(), (std::vector<std::string>{Line(0, "one"), Line(0, "two")}));
  EXPECT_FALSE(std::filesystem::exists(second.file()));
}

struct PathCase {
  std::optional<std::string> dataHome;
  std::optional<std::string> home;
  std::string path;
};
void PrintTo(const PathCase& c, std::ostream* os) {
  *os << c.dataHome.value_or("(unset)") << ' ' << c.home.value_or("(unset)");
}

class LogPathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(LogPathTest, FromTheEnvironment) {
  ScopedEnvironment data("XDG_DATA_HOME", GetParam().dataHome);
  ScopedEnvironment home("HOME", GetParam().home);
  EXPECT_EQ(DefaultLogPath(), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    All, LogPathTest,
    ::testing::Values(PathCase{"/d", "/h", "/d/Quillon/Nemora/Tarsin RF.log"},
                      PathCase{"/d/", "/h", "/d/Quillon/Nemora/Tarsin RF.log"},
                      PathCase{std::nullopt, "/h", "/h/.local/share/Quillon/Nemora/Tarsin RF.log"},
                      PathCase{"", "/h", "/h/.local/share/Quillon/Nemora/Tarsin RF.log"},
                      PathCase{"relative/data", "/h",
                               "/h/.local/share/Quillon/Nemora/Tarsin RF.log"},
                      PathCase{std::nullopt, std::nullopt, "/tmp/Tarsin RF.log"},
                      PathCase{"", "relative", "/tmp/Tarsin RF.log"}));

}  // namespace
}  // namespace tarsin
