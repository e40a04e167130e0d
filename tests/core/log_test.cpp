#include "core/log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "support/scratch_folder.h"
#include "tarsin/encoder.h"

namespace tarsin {
namespace {

using testing::Line;
using testing::LogFolder;
using testing::ScopedEnvironment;

TEST(Log, IndentationFollowsTheArrowsAtTheStartOnly) {
  const struct {
    std::vector<std::string> messages;
    std::vector<int> levels;
  } cases[] = {{{"--> A", "x", "--> B", "y", "<-- B", "<-- A", "z"}, {0, 1, 1, 2, 1, 0, 0}},
               {{"<-- A", "x", "--> A", "<-- A", "<-- A", "--> B", "x"}, {0, 0, 0, 0, 0, 0, 1}},
               {{"-->A", "-->\tA", " --> A", "a --> b", "x", "--> A", "<--A", "x <-- A", "y"},
                {0, 0, 0, 0, 0, 0, 1, 1, 1}},
               {{"--> ", "", "<-- ", ""}, {0, 1, 0, 0}}};
  for (const auto& c : cases) {
    LogFolder log;
    EncoderState state;
    std::vector<std::string> expected;
    for (size_t i = 0; i < c.messages.size(); ++i) {
      WriteLog(state, c.messages[i]);
      expected.push_back(Line(c.levels[i], c.messages[i]));
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
  const std::vector<std::string> lines = log.lines();
  EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<long>(before), lines.end()),
            (std::vector<std::string>{Line(0, "--> A"), Line(0, "x"), Line(1, "y"),
                                      Line(0, "--> B"), Line(0, "<-- A"), Line(1, "z")}));
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
  for (const std::string& line : lines) {
    EXPECT_EQ(line.substr(4), std::string(4000, line[4]));
  }
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

  const std::filesystem::path target = log.root() / "elsewhere";
  std::ofstream(target) << "";
  std::filesystem::remove(log.file());
  std::filesystem::create_symlink(target, log.file());
  WriteLog(state, "secret");
  EXPECT_EQ(std::filesystem::file_size(target), 0u);
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
  const struct {
    std::optional<std::string> dataHome, home;
    std::string path;
  } cases[] = {{"/d", "/h", "/d/" + suffix},
               {"/d/", "/h", "/d/" + suffix},
               {std::nullopt, "/h", "/h/.local/share/" + suffix},
               {"", "/h", "/h/.local/share/" + suffix},
               {"relative", "/h", "/h/.local/share/" + suffix},
               {std::nullopt, std::nullopt, "/tmp/Tarsin RF.log"},
               {"", "relative", "/tmp/Tarsin RF.log"}};
  for (const auto& c : cases) {
    ScopedEnvironment data("XDG_DATA_HOME", c.dataHome);
    ScopedEnvironment home("HOME", c.home);
    EXPECT_EQ(DefaultLogPath(), c.path);
  }
}

}  // namespace
}  // namespace tarsin
