// SPDX-License-Identifier: Apache-2.0
// The common part of _Encoder's slots on 32-bit Windows: it calls tarsin_com_slot_call(i, the
// arguments on the stack) and then, as stdcall wants of a callee, removes the arguments: their
// size comes back in edx, the HRESULT in eax.
#include "host/com/slot_stubs.h"

asm(TARSIN_SLOT_STUBS R"(
tarsin_com_slot_common:
    leal 4(%esp), %ecx
    pushl %ecx
    pushl %eax
    call tarsin_com_slot_call
    addl $8, %esp
    popl %ecx
    addl %edx, %esp
    jmp *%ecx
)");
