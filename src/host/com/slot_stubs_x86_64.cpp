// SPDX-License-Identifier: Apache-2.0
// The common part of _Encoder's slots on 64-bit Windows: it stores the four register arguments in
// the home area the caller reserved above the return address, so that all of them lie in a row
// in memory, and calls tarsin_com_slot_call(i, that row). Floating-point registers are not looked
// at: no slot takes a bare double.
#include "host/com/slot_stubs.h"

asm(TARSIN_SLOT_STUBS R"(
tarsin_com_slot_common:
    movq %rcx, 8(%rsp)
    movq %rdx, 16(%rsp)
    movq %r8, 24(%rsp)
    movq %r9, 32(%rsp)
    movl %eax, %ecx
    leaq 8(%rsp), %rdx
    subq $40, %rsp
    call tarsin_com_slot_call
    addq $40, %rsp
    ret
)");
