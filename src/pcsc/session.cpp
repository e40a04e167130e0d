// SPDX-License-Identifier: Apache-2.0
#include "pcsc/session.h"

#include <fmt/format.h>

#include <chrono>

#include "core/error.h"
#include "core/failure.h"
#include "core/hex_text.h"
#include "core/log.h"
#include "core/wait.h"
#include "pcsc/card_identification.h"
#include "pcsc/reader_attributes.h"
#include "pcsc/status_texts.h"
#include "pcsc/winscard.h"

namespace tarsin {
namespace {

constexpr LONG kLeaveCard = SCARD_LEAVE_CARD;
constexpr std::chrono::milliseconds kWaitBeforeConnect{250};

bool IsNoCardResult(int32_t result) {
  switch (static_cast<uint32_t>(result)) {
    case 0x8010000C:  // SCARD_E_NO_SMARTCARD
    case 0x8010000D:  // SCARD_E_UNKNOWN_CARD
    case 0x8010001C:  // SCARD_E_CARD_UNSUPPORTED
    case 0x80100069:  // SCARD_W_REMOVED_CARD
      return true;
    default:
      return false;
  }
}

constexpr int32_t kSharingViolation = static_cast<int32_t>(0x8010000B);
// What this platform answers for a zero handle (the Windows API answers 6).
constexpr int32_t kInvalidHandle = static_cast<int32_t>(0x80100003);

std::string ResultText(int32_t result) {
  return SCardErrorText(result);
}

void LogRuntimeFailure(EncoderState& state, const Failure& failure) {
  WriteLog(state, fmt::format("Error {}: {} [{}]", failure.number(), failure.description(),
                              failure.osError()));
}

void RecordRuntimeFailure(EncoderState& state, const Failure& failure, const char* routine,
                          const char* step, std::string retCode) {
  SetError(state, {.number = static_cast<uint32_t>(failure.number()),
                   .description = failure.description(),
                   .lastDllError = failure.osError(),
                   .comFunction = routine,
                   .rdrCommand = step,
                   .rdrRetCode = std::move(retCode)});
}

// The ATR of the card just connected goes to the card identification.
void ReadAtr(EncoderState& state) {
  const std::string atr = ReaderGetAttr(state, "%1", kAttrAtrString, kDecodeRaw);
  LetATRString(state, TextToHex(atr, true));
}

struct ConnectResult {
  int32_t result = 0;
  std::optional<Failure> failure;  // the call could not be made at all
};

ConnectResult Connect(EncoderState& state) {
  if (state.OpenMode == 0) state.OpenMode = 1;
  SCARDHANDLE card = 0;
  DWORD active = 0;
  ConnectResult outcome;
  try {
    outcome.result = PcscResult32(WinSCard::Current().Connect(
        static_cast<SCARDCONTEXT>(state.hContext), state.Device.c_str(),
        static_cast<DWORD>(state.OpenMode), static_cast<DWORD>(state.Protocol), &card, &active));
    state.hCard = card;
    state.ActiveProtocol = static_cast<uint32_t>(active);
  } catch (const Failure& failure) {
    outcome.failure = failure;
  }
  return outcome;
}

// Logs the connect's result; a connect that could not be called at all is recorded for
// `routine` and closes the session (false).
bool ReportConnect(EncoderState& state, const ConnectResult& connect, const char* routine) {
  if (connect.failure) LogRuntimeFailure(state, *connect.failure);
  WriteLog(state, "SCardConnect returned: " + ResultText(connect.result));
  if (!connect.failure) return true;
  RecordRuntimeFailure(state, *connect.failure, routine, "SCardConnect",
                       std::to_string(connect.result));
  CloseEncoderQuietly(state);
  return false;
}

int32_t Disconnect(EncoderState& state) {
  return PcscResult32(
      WinSCard::Current().Disconnect(static_cast<SCARDHANDLE>(state.hCard), kLeaveCard));
}

int32_t ReleaseContext(EncoderState& state) {
  return PcscResult32(
      WinSCard::Current().ReleaseContext(static_cast<SCARDCONTEXT>(state.hContext)));
}

enum class Attempt { Done, Retry, Return };

sceReturnCode OpenSessionSteps(EncoderState& state, bool closeOnFailure) {
  for (int attempts = 0;;) {
    // A connect that succeeds after a sharing violation is a success.
    sceReturnCode result = scesuccess;
    ClearError(state);
    LetATRString(state, "");
    state.ValueBlocks.emplace();

    if (state.hContext == 0) {
      WriteLog(state, "Calling SCardEstablishContext");
      SCARDCONTEXT context = 0;
      int32_t established = 0;
      try {
        established =
            PcscResult32(WinSCard::Current().EstablishContext(SCARD_SCOPE_SYSTEM, &context));
      } catch (const Failure& failure) {
        LogRuntimeFailure(state, failure);
        WriteLog(state, "SCardEstablishContext returned: " + ResultText(0));
        RecordRuntimeFailure(state, failure, "OpenEncoder", "SCardEstablishContext", "0");
        CloseEncoderQuietly(state);
        return sceError;
      }
      state.hContext = context;
      WriteLog(state, "SCardEstablishContext returned: " + ResultText(established));
      if (established != 0) {
        CloseEncoderQuietly(state);
        SetError(state, errors::kCannotEstablish,
                 {.lastDllError = established,
                  .comFunction = "OpenEncoder",
                  .rdrCommand = "SCardEstablishContext",
                  .rdrRetCode = ResultText(established)});
        return sceError;
      }
    }
    WriteLog(state, fmt::format("hContext = {}", state.hContext));
    Wait(kWaitBeforeConnect);

    WriteLog(state, "Calling SCardConnect...");
    const ConnectResult connect = Connect(state);
    WriteLog(state, fmt::format("Called SCardConnect({}, \"{}\", {}, {}, {}, {})", state.hContext,
                                state.Device, state.OpenMode, state.Protocol, state.hCard,
                                state.ActiveProtocol));
    if (!ReportConnect(state, connect, "OpenEncoder")) return sceError;

    if (connect.result == 0) {
      ReadAtr(state);
      return result;
    }
    if (IsNoCardResult(connect.result)) {
      SetError(state, errors::kNoCard,
               {.lastDllError = connect.result,
                .comFunction = "OpenEncoder",
                .rdrCommand = "SCardConnect",
                .rdrRetCode = ResultText(connect.result)});
      return result;
    }
    if (connect.result == kSharingViolation) {
      ++attempts;
      result = sceError;
      CloseEncoderQuietly(state);
      if (attempts < 2) continue;
      return result;
    }
    SetError(state, errors::kCannotConnect,
             {.lastDllError = connect.result,
              .comFunction = "OpenEncoder",
              .rdrCommand = "SCardConnect",
              .rdrRetCode = ResultText(connect.result)});
    if (closeOnFailure) {
      CloseEncoderQuietly(state);
      return sceError;
    }
    return result;
  }
}

sceReturnCode SelectCardSteps(EncoderState& state) {
  if (state.hContext == 0) {
    WriteLog(state, "hContext = 0, encoder is closed");
    SetError(state, errors::kEncoderClosed,
             {.lastDllError = 0,
              .comFunction = "SelectCardInRange",
              .rdrCommand = "",
              .rdrRetCode = ""});
    return sceError;
  }
  if (state.hCard != 0) {
    if (state.ForceReconnect) {
      WriteLog(state, "hCard <> 0, card is connected, disconnecting");
      RunStepOrGoOn([&] { Disconnect(state); });
      state.hCard = 0;
    } else {
      WriteLog(state, "hCard <> 0, card is connected");
    }
  }
  if (state.hCard != 0) return scesuccess;

  WriteLog(state, "Connecting card");
  const ConnectResult connect = Connect(state);
  if (!ReportConnect(state, connect, "SelectCardInRange")) return sceError;
  if (connect.result != 0) {
    const bool noCard = IsNoCardResult(connect.result);
    SetError(state, noCard ? errors::kNoCard : errors::kCannotConnect,
             {.lastDllError = connect.result,
              .comFunction = "SelectCardInRange",
              .rdrCommand = "SCardConnect",
              .rdrRetCode = ResultText(connect.result)});
    RunStepOrGoOn([&] { Disconnect(state); });
    state.hCard = 0;
    return sceError;
  }
  ReadAtr(state);
  return scesuccess;
}

// One PC/SC close step of CloseEncoder: the call, its log line, and the run-time failure path.
bool CloseStep(EncoderState& state, PcscHandle& handle, const char* logIntro, const char* name,
               const char* errorStep, int32_t (*call)(EncoderState&)) {
  int32_t result = 0;
  if (handle != 0) {
    WriteLog(state, logIntro);
    try {
      result = call(state);
    } catch (const Failure& failure) {
      LogRuntimeFailure(state, failure);
      WriteLog(state, std::string(name) + " returned: " + ResultText(0));
      SetError(state, {.number = static_cast<uint32_t>(failure.number()),
                       .description = failure.description(),
                       .lastDllError = failure.osError(),
                       .comFunction = "CloseEncoder",
                       .rdrCommand = errorStep,
                       .rdrRetCode = ""});
      return false;
    }
  }
  WriteLog(state, std::string(name) + " returned: " + ResultText(result));
  handle = 0;
  return true;
}

}  // namespace

sceReturnCode OpenSession(EncoderState& state, int32_t handle, bool closeOnFailure) noexcept {
  sceReturnCode result = sceError;
  try {
    WriteLog(state,
             fmt::format("--> OpenEncoder({}, {})", handle, closeOnFailure ? "True" : "False"));
    result = OpenSessionSteps(state, closeOnFailure);
  } catch (...) {
  }
  WriteLog(state, "<-- OpenEncoder");
  return result;
}

sceReturnCode SelectCardInRange(EncoderState& state) noexcept {
  sceReturnCode result = sceError;
  try {
    WriteLog(state, "--> SelectCardInRange");
    LetATRString(state, "");
    result = SelectCardSteps(state);
  } catch (...) {
  }
  WriteLog(state, "<-- SelectCardInRange");
  return result;
}

sceReturnCode CloseSession(EncoderState& state) noexcept {
  WriteLog(state, "--> CloseEncoder");
  ClearError(state);
  sceReturnCode result = scesuccess;
  try {
    const bool closed =
        CloseStep(state, state.hCard, "hCard <> 0, calling SCardDisconnect", "SCardDisconnect",
                  "CloseReader", Disconnect) &&
        CloseStep(state, state.hContext, "hContext <> 0, calling SCardReleaseContext",
                  "SCardReleaseContext", "CloseComm", ReleaseContext);
    if (closed) {
      LetATRString(state, "");
      state.ValueBlocks.reset();
      ClearError(state, "CloseEncoder");
    } else {
      CloseEncoderQuietly(state);
      result = sceError;
    }
  } catch (...) {
    result = sceError;
  }
  WriteLog(state, "<-- CloseEncoder");
  return result;
}

void CloseEncoderQuietly(EncoderState& state) noexcept {
  WriteLog(state, "--> CloseEncoderQuietly");
  // Each call is made even for a zero handle; "nothing was open" is not worth a log line.
  const auto quietCall = [&](PcscHandle handle, const char* name, int32_t (*call)(EncoderState&)) {
    try {
      const int32_t result = call(state);
      if (!(handle == 0 && result == kInvalidHandle)) {
        WriteLog(state, std::string(name) + " returned: " + ResultText(result));
      }
    } catch (const Failure& failure) {
      if (handle != 0) LogRuntimeFailure(state, failure);
    } catch (...) {
    }
  };
  quietCall(state.hCard, "SCardDisconnect", Disconnect);
  RunStepOrGoOn([&] { LetATRString(state, ""); });
  state.hCard = 0;
  state.ValueBlocks.reset();
  quietCall(state.hContext, "SCardReleaseContext", ReleaseContext);
  state.hContext = 0;
  WriteLog(state, "<-- CloseEncoderQuietly");
}

}  // namespace tarsin
