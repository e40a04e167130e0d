// SPDX-License-Identifier: Apache-2.0
// The slots of _Encoder's vtable on 64-bit Windows (dual_interface.cpp): stub i puts i in eax and
// jumps to the common part, which stores the four register arguments in the home area the
// caller reserved above the return address, so that all of them lie in a row in memory, and
// calls tarsin_com_slot_call(i, that row). Floating-point registers are not looked at: no slot
// takes a bare double.
asm(R"(
    .text
    .globl tarsin_com_slot_stubs
    .p2align 4
tarsin_com_slot_stubs:
    .set tarsin_slot_index, 0
    .rept 256
    movl $tarsin_slot_index, %eax
    .byte 0xE9
    .long tarsin_com_slot_common - . - 4
    .set tarsin_slot_index, tarsin_slot_index + 1
    .endr
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
