// SPDX-License-Identifier: Apache-2.0
// Through a running pcscd serving the virtual readers (run-benchmarks.py starts one with eight):
// a bare SCardTransmit loop, the same frame through the component's EscapeExt, and MIFARE
// encodings (write a block, read it back, write a value block, each encoding its own data) with
// one Encoder per reader per thread, on 1, 2, 4 and 8 readers at once.
#include <winscard.h>

#include <cstdio>
#include <string>

#include "bench_support.h"
#include "tarsin/encoder.h"

namespace {

using tarsin::bench::Frames;
using tarsin::bench::RunFrames;

const unsigned char kGetUid[] = {0xFF, 0xCA, 0x00, 0x00, 0x00};

std::string PcscdReader(int index) {
  return "Tarsin Virtual Reader " + std::to_string(index) + " 00 00";
}

tarsin::bench::ScratchHome& Home() {
  static tarsin::bench::ScratchHome home;
  static const bool ready = [] {
    tarsin::bench::UseTimingProvider("libpcsclite.so.1");
    home.SetLogging(true);
    return true;
  }();
  (void)ready;
  return home;
}

void BareTransmit(benchmark::State& state) {
  SCARDCONTEXT context = 0;
  SCARDHANDLE card = 0;
  DWORD protocol = 0;
  const std::string reader = PcscdReader(0);
  if (SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context) != SCARD_S_SUCCESS ||
      SCardConnect(context, reader.c_str(), SCARD_SHARE_SHARED, SCARD_PROTOCOL_T1, &card,
                   &protocol) != SCARD_S_SUCCESS) {
    state.SkipWithError("no pcscd serving the virtual readers");
    if (context) SCardReleaseContext(context);
    return;
  }
  unsigned char answer[258];
  for (auto _ : state) {
    DWORD length = sizeof answer;
    if (SCardTransmit(card, SCARD_PCI_T1, kGetUid, sizeof kGetUid, nullptr, answer, &length) !=
        SCARD_S_SUCCESS) {
      state.SkipWithError("SCardTransmit failed");
      break;
    }
  }
  SCardDisconnect(card, SCARD_LEAVE_CARD);
  SCardReleaseContext(context);
}

bool Open(tarsin::Encoder& encoder, int reader) {
  encoder.Parameters("device=" + PcscdReader(reader) + ";protocol=2;open_mode=2");
  return encoder.OpenEncoder(0) == tarsin::scesuccess;
}

void EncoderFrame(benchmark::State& state) {
  Home();
  tarsin::Encoder encoder;
  if (!Open(encoder, 0)) {
    state.SkipWithError("no pcscd serving the virtual readers");
    return;
  }
  const Frames frames = RunFrames(state, encoder);
  state.counters["pcsc_calls"] =
      static_cast<double>(frames.after.calls - frames.before.calls) / frames.count;
  state.counters["pcsc_wall_us"] =
      static_cast<double>(frames.after.wallNs - frames.before.wallNs) / frames.count / 1000.0;
  state.counters["component_us"] = frames.componentUs;
  encoder.CloseEncoder();
}

// One encoding: a data block written and read back, and a value block written; the data and the
// value are the encoding's number, so that every encoding changes the card as a real one would.
bool Encode(tarsin::Encoder& encoder, int32_t number) {
  const std::string key = "FFFFFFFFFFFF";
  char digits[33];
  std::snprintf(digits, sizeof digits, "%032X", static_cast<unsigned>(number));
  std::string data = digits;
  std::string read;
  return encoder.MifareWriteDataBloc(4, key, 1, data) == tarsin::scesuccess &&
         encoder.MifareReadDataBloc(4, key, 1, read) == tarsin::scesuccess && read == digits &&
         encoder.MifareWriteValueBloc(5, key, 1, number) == tarsin::scesuccess;
}

void Encodings(benchmark::State& state) {
  Home();
  tarsin::Encoder encoder;
  if (!Open(encoder, state.thread_index())) {
    state.SkipWithError("no pcscd serving eight virtual readers");
    return;
  }
  int32_t number = 0;
  for (auto _ : state) {
    if (!Encode(encoder, ++number)) {
      state.SkipWithError("an encoding failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
  encoder.CloseEncoder();
}

BENCHMARK(BareTransmit)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(EncoderFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(Encodings)->ThreadRange(1, 8)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
