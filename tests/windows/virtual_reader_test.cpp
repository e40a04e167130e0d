// The component on TarsinVirtualReader.dll under Wine, loaded through TARSIN_RF_PCSC_LIBRARY by
// its full path, the way it loads winscard.dll: the card types in Wine's registry, then the UID
// and a block; a DESFire card's authentication, its cipher CNG's against the component's DES.
#include <stdlib.h>

#include "registry/reg_file.h"
#include "registry/reg_file_io.h"
#include "support/scratch_folder.h"
#include "tarsin/encoder.h"

namespace tarsin::testing {
namespace {

TEST_F(ScratchReadersTest, TheComponentRunsMifareAndDesfireCardsOnTheDll) {
  ASSERT_EQ(
      registry::ImportRegFile(registry::ParseRegFile(FileContent(TARSIN_TEST_CARD_TYPES))).status,
      0);
  readers_.WriteReaders({Reader("Tarsin Virtual Reader 0", Classic1K("B47C2E91")),
                         Reader("Tarsin Virtual Reader 1",
                                {{"type", "mifare-desfire-ev1-4k"}, {"uid", "045A318A2C3B80"}})});
  const std::string program = _pgmptr;  // the DLL is copied beside this program
  ScopedEnvironment provider("TARSIN_RF_PCSC_LIBRARY", program.substr(0, program.rfind('\\') + 1) +
                                                           "TarsinVirtualReader.dll");

  Encoder encoder;
  encoder.Parameters("device=Tarsin Virtual Reader 0;protocol=2;open_mode=2");
  ASSERT_EQ(encoder.OpenEncoder(0), scesuccess) << encoder.LastError()->Description;
  std::string uid, data = "00112233445566778899AABBCCDDEEFF", block;
  EXPECT_EQ(encoder.ReadSerialNumber(uid), scesuccess);
  EXPECT_EQ(uid, "B47C2E91");
  EXPECT_EQ(encoder.WriteDataBloc(5, "FFFFFFFFFFFF", 1, data), scesuccess);
  EXPECT_EQ(encoder.ReadDataBloc(5, "FFFFFFFFFFFF", 1, block), scesuccess);
  EXPECT_EQ(block, data);

  Encoder desfire;
  desfire.Parameters("device=Tarsin Virtual Reader 1;protocol=2;open_mode=2");
  ASSERT_EQ(desfire.OpenEncoder(0), scesuccess) << desfire.LastError()->Description;
  EXPECT_EQ(desfire.DESFireSelectRoot("0000000000000000"), scesuccess);
  EXPECT_NE(desfire.DESFireSelectRoot("1111111111111111"), scesuccess);
}

}  // namespace
}  // namespace tarsin::testing
