// SPDX-License-Identifier: Apache-2.0
// A PC/SC provider for the benchmarks that forwards every call to the real one (the virtual
// reader's, or pcsc-lite's) and adds up the time spent inside it, so that a benchmark can take
// the reader's share out of what it measures and keep only the component's.
//   TARSIN_BENCH_INNER_PCSC_LIBRARY  the provider to forward to (default libpcsclite.so.1)
//   TARSIN_BENCH_PROVIDER_REPORT     a file to which the totals are written at exit
#include <dlfcn.h>
#include <winscard.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

std::atomic<uint64_t> cpuNanoseconds{0};
std::atomic<uint64_t> wallNanoseconds{0};
std::atomic<uint64_t> calls{0};

uint64_t Now(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

void* Inner(const char* name) {
  static void* library = [] {
    const char* path = std::getenv("TARSIN_BENCH_INNER_PCSC_LIBRARY");
    void* handle = dlopen(path && *path ? path : "libpcsclite.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!handle) std::fprintf(stderr, "timing provider: %s\n", dlerror());
    return handle;
  }();
  return library ? dlsym(library, name) : nullptr;
}

// Times one forwarded call on this thread's CPU clock and on the wall clock.
class Timed {
 public:
  Timed() : cpu_(Now(CLOCK_THREAD_CPUTIME_ID)), wall_(Now(CLOCK_MONOTONIC)) {}
  ~Timed() {
    cpuNanoseconds += Now(CLOCK_THREAD_CPUTIME_ID) - cpu_;
    wallNanoseconds += Now(CLOCK_MONOTONIC) - wall_;
    ++calls;
  }
  Timed(const Timed&) = delete;
  Timed& operator=(const Timed&) = delete;

 private:
  uint64_t cpu_, wall_;
};

struct Report {
  ~Report() {
    const char* path = std::getenv("TARSIN_BENCH_PROVIDER_REPORT");
    if (path == nullptr || *path == '\0') return;
    if (FILE* out = std::fopen(path, "w")) {
      std::fprintf(out, "{\"cpu_ns\": %llu, \"wall_ns\": %llu, \"calls\": %llu}\n",
                   static_cast<unsigned long long>(cpuNanoseconds.load()),
                   static_cast<unsigned long long>(wallNanoseconds.load()),
                   static_cast<unsigned long long>(calls.load()));
      std::fclose(out);
    }
  }
} report;

}  // namespace

#define TARSIN_FORWARD(name, parameters, arguments)                         \
  extern "C" LONG name parameters {                                         \
    Timed timed; /* loading the real provider is its own cost too */        \
    static auto* inner = reinterpret_cast<decltype(&::name)>(Inner(#name)); \
    if (inner == nullptr) return SCARD_F_INTERNAL_ERROR;                    \
    return inner arguments;                                                 \
  }

TARSIN_FORWARD(SCardEstablishContext,
               (DWORD scope, LPCVOID reserved1, LPCVOID reserved2, LPSCARDCONTEXT context),
               (scope, reserved1, reserved2, context))
TARSIN_FORWARD(SCardReleaseContext, (SCARDCONTEXT context), (context))
TARSIN_FORWARD(SCardIsValidContext, (SCARDCONTEXT context), (context))
TARSIN_FORWARD(SCardListReaders,
               (SCARDCONTEXT context, LPCSTR groups, LPSTR readers, LPDWORD length),
               (context, groups, readers, length))
TARSIN_FORWARD(SCardConnect,
               (SCARDCONTEXT context, LPCSTR reader, DWORD share, DWORD protocols,
                LPSCARDHANDLE card, LPDWORD protocol),
               (context, reader, share, protocols, card, protocol))
TARSIN_FORWARD(SCardDisconnect, (SCARDHANDLE card, DWORD disposition), (card, disposition))
TARSIN_FORWARD(SCardStatus,
               (SCARDHANDLE card, LPSTR name, LPDWORD nameLength, LPDWORD state, LPDWORD protocol,
                LPBYTE atr, LPDWORD atrLength),
               (card, name, nameLength, state, protocol, atr, atrLength))
TARSIN_FORWARD(SCardGetStatusChange,
               (SCARDCONTEXT context, DWORD timeout, SCARD_READERSTATE* states, DWORD count),
               (context, timeout, states, count))
TARSIN_FORWARD(SCardTransmit,
               (SCARDHANDLE card, const SCARD_IO_REQUEST* sendPci, LPCBYTE send, DWORD sendLength,
                SCARD_IO_REQUEST* receivePci, LPBYTE receive, LPDWORD receiveLength),
               (card, sendPci, send, sendLength, receivePci, receive, receiveLength))
TARSIN_FORWARD(SCardGetAttrib, (SCARDHANDLE card, DWORD id, LPBYTE attribute, LPDWORD length),
               (card, id, attribute, length))
TARSIN_FORWARD(SCardFreeMemory, (SCARDCONTEXT context, LPCVOID memory), (context, memory))

#undef TARSIN_FORWARD

// The totals so far, for a benchmark in the same process.
extern "C" void tarsin_bench_provider_totals(uint64_t* cpuNs, uint64_t* wallNs, uint64_t* count) {
  *cpuNs = cpuNanoseconds.load();
  *wallNs = wallNanoseconds.load();
  *count = calls.load();
}
