// The component on TarsinVirtualReader.dll under Wine, loaded through TARSIN_RF_PCSC_LIBRARY the
// way it loads winscard.dll: the card types in Wine's registry, then the UID and a block.
#include <stdlib.h>

#include "registry/reg_file.h"
#include "registry/reg_file_io.h"
#include "support/scratch_folder.h"
#include "tarsin/encoder.h"

namespace tarsin::testing {
namespace {

constexpr char kReader[] = "Tarsin Virtual Reader 0";

// The DLL's full path: it is copied beside this program. (Not through <windows.h>: the
// component's registry headers name the same things.)
std::string VirtualReaderDll() {
  const std::string path(_pgmptr ? _pgmptr : "");
  return path.substr(0, path.find_last_of('\\') + 1) + "TarsinVirtualReader.dll";
}

TEST(VirtualReaderDll, TheComponentReadsTheUidAndABlock) {
  const auto outcome =
      registry::ImportRegFile(registry::ParseRegFile(FileContent(TARSIN_TEST_CARD_TYPES)));
  ASSERT_EQ(outcome.status, 0) << outcome.keyName;
  ScratchFolder folder("tarsin-dll");
  ReadersFile readers(folder.path());
  readers.WriteReaders({Reader(kReader, Classic1K("B47C2E91"))});
  ScopedEnvironment provider("TARSIN_RF_PCSC_LIBRARY", VirtualReaderDll());

  Encoder encoder;
  encoder.Parameters("device=" + std::string(kReader) + ";protocol=2;open_mode=2");
  ASSERT_EQ(encoder.OpenEncoder(0), scesuccess) << encoder.LastError()->Description;
  std::string uid, block;
  EXPECT_EQ(encoder.ReadSerialNumber(uid), scesuccess);
  EXPECT_EQ(uid, "B47C2E91");
  std::string data = "00112233445566778899AABBCCDDEEFF";
  EXPECT_EQ(encoder.WriteDataBloc(5, "FFFFFFFFFFFF", 1, data), scesuccess);
  EXPECT_EQ(encoder.ReadDataBloc(5, "FFFFFFFFFFFF", 1, block), scesuccess);
  EXPECT_EQ(block, data);
  EXPECT_EQ(encoder.CloseEncoder(), scesuccess);
}

}  // namespace
}  // namespace tarsin::testing
