// SPDX-License-Identifier: Apache-2.0
// Arbitrary card answers, multi-frame ones included, through the DESFire and MIFARE members.
// Checked: every member returns (an escaping exception ends the program) a result it may give,
// leaving in LastError only a number its row of the member error table lists.
// Input: byte 0 the session (bits 0-1: 1 authenticated at card level, 2 in application 123456;
// bits 2-5 the key number), byte 1 the number of calls less one (mod 3), then two bytes per call
// (the member, its argument), then the card's answers in the provider's stream format.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <string>

#include "automation/member_errors.h"
#include "core/hex_text.h"
#include "encoder_fixture.h"

namespace tarsin {
namespace {

constexpr const char* kRequests[] = {
    "90 60 00 00 00",                          // DESFire version, three frames
    "90 6A 00 00 00",                          // application ids
    "90 BD 00 00 07 01 00 00 00 00 00 00 00",  // read data
    "FF CA 00 00 00",                          // the reader's serial number
    "FF B0 00 04 10",                          // a MIFARE block
};
constexpr const char* kDesKey = "00000000000000000000000000000000";

// Aborts when `encoder` holds a number the member's row does not list.
void CheckListed(Encoder& encoder, const char* member) {
  const auto number = static_cast<uint32_t>(encoder.LastError()->Number);
  const auto listed = [&](const ErrorEntry& entry) { return entry.number == number; };
  if (number == 0 || std::ranges::any_of(automation::ErrorsOf(member), listed)) return;
  std::fprintf(stderr, "%s left %X, which its row does not list\n", member, number);
  std::abort();
}

// The member `member` picks, called with `arg`: its name and its result.
std::pair<const char*, sceReturnCode> Call(Encoder& desfire, Encoder& classic, uint8_t member,
                                           uint8_t arg) {
  std::string text, status;
  int32_t number = 0, count = 0;
  Variant information;
  uint8_t keysUsed = 0, checkSum = 0, bx = 0;
  SCBS_SecurityLevelEnum s0{}, s1{}, s2{};
  SCSS_SecurityLevelEnum conditions{};
  const uint8_t keyType = arg & 1;
  const char* request = kRequests[arg % std::size(kRequests)];
  const std::pair<const char*, std::function<sceReturnCode()>> calls[] = {
      {"Escape", [&] { return desfire.Escape(request, text); }},
      {"EscapeExt", [&] { return desfire.EscapeExt(request, text, status); }},
      {"DESFireGetVersion",
       [&] {
         return desfire.DESFireGetVersion(static_cast<DesfireVersionBytes>(arg % 30 - 2),
                                          information);
       }},
      {"DESFireGetApplications", [&] { return desfire.DESFireGetApplications(text); }},
      {"DESFireGetFileIDs", [&] { return desfire.DESFireGetFileIDs(text); }},
      {"DESFireGetFileSettings", [&] { return desfire.DESFireGetFileSettings(arg % 32, text); }},
      {"DESFireGetValue", [&] { return desfire.DESFireGetValue(arg % 32, number); }},
      {"DESFireGetKeySettings", [&] { return desfire.DESFireGetKeySettings(number, count); }},
      {"DESFireGetKeyVersion", [&] { return desfire.DESFireGetKeyVersion(arg % 16, number); }},
      {"DESFireReadData",
       [&] { return desfire.DESFireReadData(arg % 8, arg / 8, arg % 40, text, keyType == 1); }},
      {"DESFireReadRecords",
       [&] { return desfire.DESFireReadRecords(arg % 8, 0, arg / 8, text, keyType == 1); }},
      {"DESFireSelectApplication",
       [&] { return desfire.DESFireSelectApplication("123456", arg % 14, kDesKey); }},
      {"DESFireSelectRoot", [&] { return desfire.DESFireSelectRoot(kDesKey); }},
      {"DESFireWriteData",
       [&] { return desfire.DESFireWriteData(arg % 8, 0, 4, "0102A0FF", true); }},
      {"DESFireCredit", [&] { return desfire.DESFireCredit(arg % 8, arg); }},
      {"DESFireCommitTransaction", [&] { return desfire.DESFireCommitTransaction(); }},
      {"MifareReadSectorTrailer",
       [&] {
         return classic.MifareReadSectorTrailer(arg % 42, "FFFFFFFFFFFF", keyType, keysUsed, s0, s1,
                                                s2, conditions, bx);
       }},
      {"MifareReadDataBloc",
       [&] { return classic.MifareReadDataBloc(arg % 70, "FFFFFFFFFFFF", keyType, text); }},
      {(arg & 2) ? "MifareReadManufacturerCode" : "ReadSerialNumber", [&] {
         return (arg & 2) ? classic.MifareReadManufacturerCode("FFFFFFFFFFFF", keyType, number,
                                                               checkSum, text)
                          : desfire.ReadSerialNumber(text);
       }}};
  const auto& [name, call] = calls[member % std::size(calls)];
  return {name, call()};
}

}  // namespace
}  // namespace tarsin

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  auto& fixture = tarsin::fuzz::CardAnswers::Instance();
  fixture.Forget();
  if (const int level = data[0] & 3; level != 0) {
    tarsin::EncoderState& state = tarsin::StateOf(fixture.desfire());
    state.Desfire = {.CurrentApplicationId = level == 2 ? "123456" : "000000",
                     .AuthenticatedKeyNumber = (data[0] >> 2) % 14,
                     .KeyType = tarsin::DesfireKeyType::TwoKeyTripleDes,
                     .SessionKey = tarsin::HexToBytes("00112233445566778899AABBCCDDEEFF")};
  }
  const size_t calls = 1 + data[1] % 3;
  const size_t answers = 2 + 2 * calls;
  if (size < answers) return 0;
  fixture.Feed(data + answers, size - answers);
  for (size_t i = 0; i < calls; ++i) {
    fixture.desfire().LastError()->Number = 0;
    fixture.classic().LastError()->Number = 0;
    const uint8_t member = data[2 + 2 * i], arg = data[3 + 2 * i];
    const auto [name, result] = tarsin::Call(fixture.desfire(), fixture.classic(), member, arg);
    if (result != tarsin::scesuccess && result != tarsin::sceError) std::abort();
    tarsin::CheckListed(fixture.desfire(), name);
    tarsin::CheckListed(fixture.classic(), name);
  }
  return 0;
}
