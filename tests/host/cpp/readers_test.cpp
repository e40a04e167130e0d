// SPDX-License-Identifier: Apache-2.0
// Readers and card arrival from C++: the listing with the card types of the table, and a wait
// that ends on a card another process inserts, on a timeout, or on a cancel from another thread.
#include "tarsin/readers.h"

#include "host/cpp/host_bench.h"

namespace tarsin::host_test {
namespace {

using std::chrono::milliseconds;

TEST_F(HostBench, ReadersAreListedAndCardsAwaited) {
  ReaderWatch watch;
  std::vector<ReaderStatus> readers;
  ASSERT_EQ(watch.List(readers).Number, 0);
  ASSERT_EQ(readers.size(), 2u);
  EXPECT_EQ(readers[0].Name, kReader0);
  EXPECT_TRUE(readers[0].CardPresent);
  EXPECT_EQ(readers[0].ATR, "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 01 00 00 00 00 6A");
  EXPECT_EQ(readers[0].CardType, sceMifare1K);
  EXPECT_EQ(readers[1].CardType, sceDESFire);

  ASSERT_EQ(Cli("virtual remove"), 0);
  ReaderStatus status;
  ReaderOutcome outcome = watch.WaitForCard(kReader0, CardEvent::Arrival, 300, status);
  EXPECT_EQ(outcome.Number, kWaitTimedOut) << outcome.Description;
  EXPECT_EQ(watch.WaitForCard("Nobody's reader", CardEvent::Arrival, 0, status).Number,
            kUnknownReader);

  const auto start = std::chrono::steady_clock::now();
  Cli("virtual insert mifare-ultralight", milliseconds(400));
  outcome = watch.WaitForCard(kReader0, CardEvent::Arrival, 20000, status);
  ASSERT_EQ(outcome.Number, 0) << outcome.Description;
  EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(300));
  EXPECT_EQ(status.Name, kReader0);
  EXPECT_EQ(status.CardType, sceMifareUltralight);

  // Any reader: the removal of one of the cards in the field.
  Cli("virtual remove -r '" + std::string(kReader1) + "'", milliseconds(200));
  ASSERT_EQ(watch.WaitForCard("", CardEvent::Removal, 20000, status).Number, 0);
  EXPECT_EQ(status.Name, kReader1);

  // A cancel from another thread ends the wait in progress, and that one only.
  std::thread canceller([&] {
    std::this_thread::sleep_for(milliseconds(300));
    watch.Cancel();
  });
  outcome = watch.WaitForCard(kReader1, CardEvent::Arrival, kWaitForever, status);
  canceller.join();
  EXPECT_EQ(outcome.Number, kWaitCancelled) << outcome.Description;
  EXPECT_EQ(watch.WaitForCard(kReader1, CardEvent::Arrival, 100, status).Number, kWaitTimedOut);
}

}  // namespace
}  // namespace tarsin::host_test
