// The component on TarsinVirtualReader.dll under Wine, loaded through TARSIN_RF_PCSC_LIBRARY by
// its full path, the way it loads winscard.dll: a DESFire card's authentication, its cipher CNG's
// against the component's DES. (The VBScript test encodes a MIFARE Classic card on the DLL.)
#include <stdlib.h>

#include "support/scratch_folder.h"
#include "tarsin/encoder.h"

namespace tarsin::testing {
namespace {

TEST_F(ScratchReadersTest, TheComponentAuthenticatesADesfireCardOnTheDll) {
  readers_.WriteReaders({Reader("Tarsin Virtual Reader 1",
                                {{"type", "mifare-desfire-ev1-4k"}, {"uid", "045A318A2C3B80"}})});
  const std::string program = _pgmptr;  // the DLL is copied beside this program
  ScopedEnvironment provider("TARSIN_RF_PCSC_LIBRARY", program.substr(0, program.rfind('\\') + 1) +
                                                           "TarsinVirtualReader.dll");
  Encoder desfire;
  desfire.Parameters("device=Tarsin Virtual Reader 1;protocol=2;open_mode=2");
  ASSERT_EQ(desfire.OpenEncoder(0), scesuccess) << desfire.LastError()->Description;
  EXPECT_EQ(desfire.DESFireSelectRoot("0000000000000000"), scesuccess);
  EXPECT_NE(desfire.DESFireSelectRoot("1111111111111111"), scesuccess);
}

}  // namespace
}  // namespace tarsin::testing
