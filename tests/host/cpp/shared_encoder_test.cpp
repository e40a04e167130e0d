// SPDX-License-Identifier: Apache-2.0
// One encoder called from four threads at once: every call whole and right (the thread checker's
// build finds no race), beside an encoder of its own on the other reader.
#include <vector>

#include "host/cpp/host_bench.h"
#include "tarsin/encoder.h"

namespace tarsin::host_test {
namespace {

TEST_F(HostBench, OneEncoderServesFourThreads) {
  Encoder shared;
  shared.Parameters(std::string("device=") + kReader0 + ";protocol=2;open_mode=2");
  ASSERT_EQ(shared.OpenEncoder(0), scesuccess) << shared.LastError()->Description;
  // GoogleTest's expectations may be made from any thread here.
  std::vector<std::thread> threads;
  threads.emplace_back([&] {
    for (int i = 0; i < 20; ++i) {
      std::string uid;
      EXPECT_EQ(shared.ReadSerialNumber(uid), scesuccess);
      EXPECT_EQ(uid, "B47C2E91");
    }
  });
  threads.emplace_back([&] {
    for (int i = 0; i < 20; ++i) {
      std::string block = "00112233445566778899AABBCCDDEE" + std::to_string(10 + i);
      EXPECT_EQ(shared.MifareWriteDataBloc(4, "FFFFFFFFFFFF", 1, block), scesuccess);
    }
  });
  threads.emplace_back([&] {
    for (int i = 0; i < 20; ++i) {
      EXPECT_EQ(shared.EncoderState(), sceReady);
      EXPECT_NE(shared.Parameters().find(kReader0), std::string::npos);
      shared.LastError();
    }
  });
  threads.emplace_back([&] {
    Encoder own;
    own.Parameters(std::string("device=") + kReader1 + ";protocol=2;open_mode=2");
    EXPECT_EQ(own.OpenEncoder(0), scesuccess);
    for (int i = 0; i < 20; ++i)
      EXPECT_EQ(own.DESFireSelectRoot("0000000000000000"), scesuccess)
          << own.LastError()->Description;
  });
  for (std::thread& thread : threads) thread.join();
  std::string block;
  ASSERT_EQ(shared.MifareReadDataBloc(4, "FFFFFFFFFFFF", 1, block), scesuccess);
  EXPECT_EQ(block, "00112233445566778899AABBCCDDEE29");
}

}  // namespace
}  // namespace tarsin::host_test
