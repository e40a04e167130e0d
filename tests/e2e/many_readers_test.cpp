// SPDX-License-Identifier: Apache-2.0
// Eight readers at once through many_readers_test.py's pcscd, an Encoder and a thread each, writing
// a block of its own card and reading it back, again and again. Threads sharing the log:
// tests/core.
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

// The first failure on `reader` with LastError, or "". Each byte of the block is the reader's
// number, so that a frame sent for one reader is told from another's.
std::string EncodeCards(int reader) {
  Encoder encoder;
  encoder.Parameters("device=Tarsin Virtual Reader " + std::to_string(reader) +
                     " 00 00;protocol=2;open_mode=2");
  std::string block(32, static_cast<char>('0' + reader)), read;
  bool ok = encoder.OpenEncoder(0) == scesuccess;
  for (int i = 0; ok && i < kEncodings; ++i)
    ok = encoder.MifareWriteDataBloc(4, "FFFFFFFFFFFF", 1, block) == scesuccess &&
         encoder.MifareReadDataBloc(4, "FFFFFFFFFFFF", 1, read) == scesuccess && read == block;
  ok = ok && encoder.CloseEncoder() == scesuccess;
  const CError& error = *encoder.LastError();
  return ok ? "" : error.ComFunction + ": " + error.Description + " (block 4 reads " + read + ")";
}

TEST(ManyReaders, EachThreadEncodesItsOwnCard) {
  const testing::LogFolder log;  // the encoders' log in a scratch folder
  testing::ScopedEnvironment pcscLite("TARSIN_RF_PCSC_LIBRARY", std::nullopt);
  std::array<std::string, kReaders> failures;
  std::vector<std::thread> threads;
  for (int reader = 0; reader < kReaders; ++reader)
    threads.emplace_back([&failures, reader] { failures[reader] = EncodeCards(reader); });
  for (std::thread& thread : threads) thread.join();
  for (int reader = 0; reader < kReaders; ++reader) EXPECT_EQ(failures[reader], "") << reader;
}

}  // namespace
}  // namespace tarsin
