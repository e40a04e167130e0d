// SPDX-License-Identifier: Apache-2.0
// The identities that hosts and the registry know the server by. The type library is generated
// from them, so they are written here once.
#pragma once

#include <ole2.h>

#include <string>

namespace tarsin::com {

// {6724D44B-6870-45DE-B764-34E285C8A0E1}
inline constexpr CLSID kEncoderClsid = {
    0x6724d44b, 0x6870, 0x45de, {0xb7, 0x64, 0x34, 0xe2, 0x85, 0xc8, 0xa0, 0xe1}};
// {B2A0F9BC-CFEC-49E1-888F-E6A6EFEFA245}, version 1.0
inline constexpr GUID kTypeLibraryId = {
    0xb2a0f9bc, 0xcfec, 0x49e1, {0x88, 0x8f, 0xe6, 0xa6, 0xef, 0xef, 0xa2, 0x45}};
inline constexpr WORD kTypeLibraryMajor = 1;
inline constexpr WORD kTypeLibraryMinor = 0;
// {89302E27-A68D-4BDB-835A-9C1E94187512}: _Encoder, the dual interface of Encoder.
inline constexpr IID kEncoderInterfaceIid = {
    0x89302e27, 0xa68d, 0x4bdb, {0x83, 0x5a, 0x9c, 0x1e, 0x94, 0x18, 0x75, 0x12}};
// {4FC486DF-C48C-43AC-8D00-DC3374FAFB37}: _CError, the dispatch interface of CError.
inline constexpr IID kErrorInterfaceIid = {
    0x4fc486df, 0xc48c, 0x43ac, {0x8d, 0x00, 0xdc, 0x33, 0x74, 0xfa, 0xfb, 0x37}};
// {709D50F5-18C2-405F-87B1-C8B822280C39}: CError, which only LastError hands out.
inline constexpr CLSID kErrorClsid = {
    0x709d50f5, 0x18c2, 0x405f, {0x87, 0xb1, 0xc8, 0xb8, 0x22, 0x28, 0x0c, 0x39}};

// "6724D44B-6870-45DE-B764-34E285C8A0E1", without braces, as IDL writes it.
std::string GuidText(const GUID& guid);

}  // namespace tarsin::com
