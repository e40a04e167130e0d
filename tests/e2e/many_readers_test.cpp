// Eight readers at once through one pcscd: one Encoder per reader, each on a thread of its own,
// encoding its own card over and over (a data block written and read back). Every encoding
// succeeds with the thread's own data. Run by many_readers_test.py inside a private pcscd serving
// eight virtual readers. Threads sharing the log: tests/core.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <thread>
#include <vector>

#include "support/scratch_folder.h"
#include "tarsin/encoder.h"

namespace tarsin {
namespace {

constexpr int kReaders = 8;
constexpr int kEncodings = 20;
const std::string kTransportKey = "FFFFFFFFFFFF";

// The block each reader's thread writes: its number in every byte, so that a frame sent for one
// reader is told from another's.
std::string BlockOf(int reader) {
  std::string block;
  for (int i = 0; i < 16; ++i) block += {'1', static_cast<char>('0' + reader)};
  return block;
}

// The steps that failed, each with the reader and LastError; none when all encodings went well.
using Failures = std::vector<std::string>;

void EncodeCards(int reader, Failures& failures) {
  Encoder encoder;
  encoder.Parameters("device=Tarsin Virtual Reader " + std::to_string(reader) +
                     " 00 00;protocol=2;open_mode=2");
  auto fail = [&](const std::string& step) {
    failures.push_back("reader " + std::to_string(reader) + ": " + step + ": " +
                       encoder.LastError()->Description);
  };
  if (encoder.OpenEncoder(0) != scesuccess) return fail("OpenEncoder");
  for (int i = 0; i < kEncodings; ++i) {
    std::string block = BlockOf(reader);
    std::string read;
    if (encoder.MifareWriteDataBloc(4, kTransportKey, 1, block) != scesuccess) {
      return fail("MifareWriteDataBloc");
    }
    if (encoder.MifareReadDataBloc(4, kTransportKey, 1, read) != scesuccess) {
      return fail("MifareReadDataBloc");
    }
    if (read != BlockOf(reader)) return fail("block 4 reads " + read);
  }
  if (encoder.CloseEncoder() != scesuccess) fail("CloseEncoder");
}

TEST(ManyReaders, EachThreadEncodesItsOwnCard) {
  const testing::LogFolder log;  // the encoders' log in a scratch folder
  testing::ScopedEnvironment pcscLite("TARSIN_RF_PCSC_LIBRARY", std::nullopt);
  std::array<Failures, kReaders> failures;
  std::vector<std::thread> threads;
  for (int reader = 0; reader < kReaders; ++reader) {
    threads.emplace_back(EncodeCards, reader, std::ref(failures[reader]));
  }
  for (std::thread& thread : threads) thread.join();
  for (const Failures& reader : failures) EXPECT_EQ(reader, Failures{});
}

}  // namespace
}  // namespace tarsin
