// SPDX-License-Identifier: Apache-2.0
// Every card type the virtual readers serve, registered once per program or module.
//
// This file is the one place above both card libraries (sim/card and sim/desfire), so neither
// depends on the other. It is built as an OBJECT library: its object file is linked whole into
// each target that uses it (libtarsinrf-vpcsc.so, libifd-tarsin-virtual.so, the test programs),
// so the registrar below always runs when that target is loaded. A registrar inside a static
// library would not: the linker drops an archive member that nothing references. The calls
// below are what references the card models and pulls them out of their static libraries.
#include "card/mifare_classic.h"
#include "card/mifare_ultralight.h"
#include "desfire/desfire_reader_card.h"

namespace tarsin::sim {
namespace {

// The factory's table is a function-local static and the type names are constants, so this may
// run before or after any other static initializer.
struct Registrar {
  Registrar() {
    MifareClassic::RegisterTypes();
    MifareUltralight::RegisterType();
    DesfireReaderCard::RegisterTypes();
  }
} registrar;

}  // namespace
}  // namespace tarsin::sim
