// SPDX-License-Identifier: Apache-2.0
// The slots of _Encoder's vtable on 32-bit Windows (dual_interface.cpp): stub i puts i in eax and
// jumps to the common part, which calls tarsin_com_slot_call(i, the arguments on the stack) and
// then, as stdcall wants of a callee, removes the arguments: their size comes back in edx, the
// HRESULT in eax.
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
    leal 4(%esp), %ecx
    pushl %ecx
    pushl %eax
    call tarsin_com_slot_call
    addl $8, %esp
    popl %ecx
    addl %edx, %esp
    jmp *%ecx
)");
