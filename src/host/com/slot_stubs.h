// SPDX-License-Identifier: Apache-2.0
// The stubs of _Encoder's vtable slots (dual_interface.cpp), the same machine code on 32-bit and
// 64-bit x86: stub i (10 bytes) puts i in eax and jumps to tarsin_com_slot_common, which each
// processor's file (slot_stubs_*.cpp) writes after this text in its own calling convention.
#pragma once

#define TARSIN_SLOT_STUBS                           \
  ".text\n"                                         \
  ".globl tarsin_com_slot_stubs\n"                  \
  ".p2align 4\n"                                    \
  "tarsin_com_slot_stubs:\n"                        \
  ".set tarsin_slot_index, 0\n"                     \
  ".rept 256\n"                                     \
  "movl $tarsin_slot_index, %eax\n"                 \
  ".byte 0xE9\n"                                    \
  ".long tarsin_com_slot_common - . - 4\n"          \
  ".set tarsin_slot_index, tarsin_slot_index + 1\n" \
  ".endr\n"
