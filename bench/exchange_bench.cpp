// SPDX-License-Identifier: Apache-2.0
// One frame's cost inside the component, on the in-process virtual reader: EscapeExt of a short
// APDU, with the log written and with its folder missing (no log at all). The timing provider
// takes the reader's own time out, so `component_us` is what the component spends per frame and
// the difference between the two runs is the log's share. LogLine is the log's file work alone
// for one line (open, write, close; or the open that fails without the folder), so that
// `lines_per_frame` of them can be taken out too.
#include <fstream>
#include <string>

#include "bench_support.h"
#include "core/log.h"
#include "core/log_file.h"
#include "tarsin/encoder.h"

namespace {

using tarsin::bench::Frames;
using tarsin::bench::RunFrames;

tarsin::bench::ScratchHome& Home() {
  static tarsin::bench::ScratchHome home;
  static const bool ready = [] {
    tarsin::bench::WriteReadersFile(home.root(), 1);
    tarsin::bench::UseTimingProvider(TARSIN_BENCH_VPCSC_LIBRARY);
    return true;
  }();
  (void)ready;
  return home;
}

size_t LogLines() {
  std::ifstream log(Home().logFolder() / "Tarsin RF.log");
  size_t count = 0;
  for (std::string line; std::getline(log, line);) ++count;
  return count;
}

void Frame(benchmark::State& state, bool logging) {
  Home().SetLogging(logging);
  tarsin::Encoder encoder;
  encoder.Parameters("device=Tarsin Virtual Reader 0;protocol=2;open_mode=2");
  if (encoder.OpenEncoder(0) != tarsin::scesuccess) {
    state.SkipWithError("the virtual reader did not open");
    return;
  }
  const size_t linesBefore = LogLines();
  const Frames frames = RunFrames(state, encoder);
  state.counters["component_us"] = frames.componentUs;
  state.counters["reader_us"] =
      static_cast<double>(frames.after.cpuNs - frames.before.cpuNs) / frames.count / 1000.0;
  state.counters["lines_per_frame"] = static_cast<double>(LogLines() - linesBefore) / frames.count;
  encoder.CloseEncoder();
}

void LogLine(benchmark::State& state, bool logging) {
  Home().SetLogging(logging);
  tarsin::LogState log;
  log.path = (Home().logFolder() / "Tarsin RF.log").string();
  const std::string line = "2026-12-07 12:00:00       Received length ... 6\r\n";
  for (auto _ : state) tarsin::AppendLogLine(log, line);
}

// A whole line without its file: the timestamp, the indentation and the text, then the open
// that fails.
void BuiltLogLine(benchmark::State& state) {
  Home().SetLogging(false);
  tarsin::EncoderState encoder;
  for (auto _ : state) tarsin::WriteLog(encoder, "Received length ... 6");
}

BENCHMARK(BuiltLogLine);
BENCHMARK_CAPTURE(LogLine, Appended, true);
BENCHMARK_CAPTURE(LogLine, FolderMissing, false);
BENCHMARK_CAPTURE(Frame, WithLog, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Frame, WithoutLog, false)->Unit(benchmark::kMicrosecond);

}  // namespace
