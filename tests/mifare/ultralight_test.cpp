// The same block operations on a MIFARE Ultralight: the reader decides about the authentication
// step (a key-less card), reads bring four pages, and a write lands in one page.
#include <gtest/gtest.h>

#include "mifare_fixture.h"

namespace tarsin {
namespace {

class Ultralight : public Mifare {
 protected:
  void UseUltralight(bool readerAcceptsAuthentication) {
    encoder_->CloseEncoder();
    nlohmann::json reader =
        Reader(testing::kReader, {{"type", "mifare-ultralight"}, {"uid", "04112233445566"}});
    reader["authenticateKeylessCards"] = readerAcceptsAuthentication;
    WriteReaders({reader});
    Open(*encoder_);
  }
  std::string Page(int page) const {
    const auto pages = ReadReaders()["readers"][0]["card"]["pages"];
    return pages.is_array() ? pages[page].get<std::string>() : "";
  }
};

TEST_F(Ultralight, ReadsFourPagesAndWritesOne) {
  UseUltralight(true);
  EXPECT_EQ(encoder_->CardType(), sceMifareUltralight);
  EXPECT_EQ(encoder_->SerialNumberLength(), 7);
  std::string uid;
  ASSERT_EQ(encoder_->ReadSerialNumber(uid), scesuccess);
  EXPECT_EQ(uid, "04112233445566");

  std::string data = "11223344 55667788 99AABBCC DDEEFF00";
  ASSERT_EQ(encoder_->MifareWriteDataBloc(4, kTransport, kUseKeyA, data), scesuccess)
      << encoder_->LastError()->Description;
  // The 16-byte write is the card's compatibility write: only the first four bytes land.
  EXPECT_EQ(Page(4), "11223344");
  EXPECT_EQ(Page(5), "00000000");
  std::string read;
  ASSERT_EQ(encoder_->MifareReadDataBloc(4, kTransport, kUseKeyA, read), scesuccess);
  EXPECT_EQ(read, "11223344000000000000000000000000");
  // Page 0 starts the read with the serial number's first bytes.
  ASSERT_EQ(encoder_->MifareReadDataBloc(0, kTransport, kUseKeyA, read), scesuccess);
  EXPECT_EQ(read.substr(0, 6), "041122");
}

TEST_F(Ultralight, AReaderThatRefusesTheAuthenticationFailsTheOperation) {
  UseUltralight(false);
  std::string read = "unchanged";
  EXPECT_EQ(encoder_->MifareReadDataBloc(4, kTransport, kUseKeyA, read), sceError);
  EXPECT_EQ(read, "");
  EXPECT_EQ(encoder_->LastError()->RdrRetCode, "6300");
  EXPECT_EQ(encoder_->LastError()->ComFunction, "MifareReadDataBloc");
}

}  // namespace
}  // namespace tarsin
