// SPDX-License-Identifier: Apache-2.0
// pcsc_stringify_error: the texts of pcsc-lite 1.9.9, so that clients print the same messages
// (it has none for SCARD_P_SHUTDOWN, and calls a security violation "Access denied.").
#include <PCSC/winscard.h>

#include <cstdio>

namespace {

struct ErrorText {
  LONG code;
  const char* text;
};

constexpr ErrorText kTexts[] = {
    {SCARD_S_SUCCESS, "Command successful."},
    {SCARD_F_INTERNAL_ERROR, "Internal error."},
    {SCARD_E_CANCELLED, "Command cancelled."},
    {SCARD_E_INVALID_HANDLE, "Invalid handle."},
    {SCARD_E_INVALID_PARAMETER, "Invalid parameter given."},
    {SCARD_E_INVALID_TARGET, "Invalid target given."},
    {SCARD_E_NO_MEMORY, "Not enough memory."},
    {SCARD_F_WAITED_TOO_LONG, "Waited too long."},
    {SCARD_E_INSUFFICIENT_BUFFER, "Insufficient buffer."},
    {SCARD_E_UNKNOWN_READER, "Unknown reader specified."},
    {SCARD_E_TIMEOUT, "Command timeout."},
    {SCARD_E_SHARING_VIOLATION, "Sharing violation."},
    {SCARD_E_NO_SMARTCARD, "No smart card inserted."},
    {SCARD_E_UNKNOWN_CARD, "Unknown card."},
    {SCARD_E_CANT_DISPOSE, "Cannot dispose handle."},
    {SCARD_E_PROTO_MISMATCH, "Card protocol mismatch."},
    {SCARD_E_NOT_READY, "Subsystem not ready."},
    {SCARD_E_INVALID_VALUE, "Invalid value given."},
    {SCARD_E_SYSTEM_CANCELLED, "System cancelled."},
    {SCARD_F_COMM_ERROR, "RPC transport error."},
    {SCARD_F_UNKNOWN_ERROR, "Unknown error."},
    {SCARD_E_INVALID_ATR, "Invalid ATR."},
    {SCARD_E_NOT_TRANSACTED, "Transaction failed."},
    {SCARD_E_READER_UNAVAILABLE, "Reader is unavailable."},
    {SCARD_E_PCI_TOO_SMALL, "PCI struct too small."},
    {SCARD_E_READER_UNSUPPORTED, "Reader is unsupported."},
    {SCARD_E_DUPLICATE_READER, "Reader already exists."},
    {SCARD_E_CARD_UNSUPPORTED, "Card is unsupported."},
    {SCARD_E_NO_SERVICE, "Service not available."},
    {SCARD_E_SERVICE_STOPPED, "Service was stopped."},
    {SCARD_E_NO_READERS_AVAILABLE, "Cannot find a smart card reader."},
    {SCARD_W_UNSUPPORTED_CARD, "Card is not supported."},
    {SCARD_W_UNRESPONSIVE_CARD, "Card is unresponsive."},
    {SCARD_W_UNPOWERED_CARD, "Card is unpowered."},
    {SCARD_W_RESET_CARD, "Card was reset."},
    {SCARD_W_REMOVED_CARD, "Card was removed."},
    {SCARD_W_SECURITY_VIOLATION, "Access denied."},
    {SCARD_E_UNSUPPORTED_FEATURE, "Feature not supported."},
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const char* pcsc_stringify_error(
    const LONG code) {
  for (const auto& entry : kTexts) {
    if (entry.code == code) return entry.text;
  }
  // pcsc-lite also answers unknown codes from a per-thread buffer.
  thread_local char unknown[64];
  std::snprintf(unknown, sizeof unknown, "Unknown error: 0x%08lX",
                static_cast<unsigned long>(code));
  return unknown;
}
