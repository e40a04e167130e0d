// The provider loaded the way the component loads its PC/SC library: by path, with dlopen.
#include <PCSC/winscard.h>
#include <dlfcn.h>

#include "temporary_readers.h"

namespace tarsin::sim::testing {
namespace {

class ProviderLoading : public TemporaryReaders {};

TEST_F(ProviderLoading, EntryPointsAndTheFaultApiWorkThroughDlopen) {
  WriteReaders({{"readers", {Reader("Loaded reader", Classic1K())}}});
  void* library = ::dlopen(TARSIN_VPCSC_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << ::dlerror();
  using Establish = LONG (*)(DWORD, LPCVOID, LPCVOID, LPSCARDCONTEXT);
  using Connect = LONG (*)(SCARDCONTEXT, LPCSTR, DWORD, DWORD, LPSCARDHANDLE, LPDWORD);
  using FailConnects = int (*)(const char*, int, std::uint32_t);
  auto establish = reinterpret_cast<Establish>(::dlsym(library, "SCardEstablishContext"));
  auto connect = reinterpret_cast<Connect>(::dlsym(library, "SCardConnect"));
  auto fail_connects =
      reinterpret_cast<FailConnects>(::dlsym(library, "tarsin_vpcsc_fail_next_connects"));
  SCARDCONTEXT context = 0;
  SCARDHANDLE card = 0;
  DWORD active = 0;
  ASSERT_EQ(establish(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context), SCARD_S_SUCCESS);
  ASSERT_EQ(fail_connects("Loaded reader", 1, 0x8010000B), 1);
  EXPECT_EQ(
      connect(context, "Loaded reader", SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0, &card, &active),
      SCARD_E_SHARING_VIOLATION);
  EXPECT_EQ(
      connect(context, "Loaded reader", SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0, &card, &active),
      SCARD_S_SUCCESS);
  EXPECT_EQ(fail_connects("No such reader", 1, 0x8010000B), 0);
  ::dlclose(library);
}

}  // namespace
}  // namespace tarsin::sim::testing
