// The reader session on the virtual reader: open, select, close, their log lines and errors.
#include <gtest/gtest.h>

#include "support/virtual_reader.h"

namespace tarsin {
namespace {

using testing::kReader;

class Session : public testing::VirtualReaderTest {};

TEST_F(Session, OpenIdentifiesTheCardAndCloseForgetsIt) {
  Encoder encoder;
  Open(encoder);
  EXPECT_EQ(encoder.LastError()->Number, 0);
  EXPECT_EQ(encoder.ATRString(), "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 01 00 00 00 00 6A");
  EXPECT_EQ(encoder.CardType(), sceMifare1K);
  EXPECT_EQ(encoder.SerialNumberLength(), 4);
  std::string uid;
  EXPECT_EQ(encoder.Escape("ff ca-00 00 00", uid), scesuccess);
  EXPECT_EQ(uid, "04A1B2C3");
  EXPECT_EQ(encoder.CloseEncoder(), scesuccess);
  EXPECT_EQ(encoder.CardType(), sceUnknownType);
  EXPECT_EQ(encoder.EncoderState(), sceClosed);
}

}  // namespace
}  // namespace tarsin
