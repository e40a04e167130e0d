// SPDX-License-Identifier: Apache-2.0
// Managing the virtual readers' file by hand, for hosts that load the provider at run time
// (tarsin-rf virtual). Each returns 1 on success, 0 otherwise (no such reader, an unknown card
// type, a file that cannot be written).
#pragma once

extern "C" {
// Writes the two default readers with blank cards.
int tarsin_vpcsc_init_readers();
// Puts a blank card of `type` (a type of the readers file) with `uid` (hex) on the reader, in the
// field.
int tarsin_vpcsc_insert_card(const char* reader, const char* type, const char* uid);
// Makes the reader's card blank again, in the field, and forgets queued faults.
int tarsin_vpcsc_reset_card(const char* reader);
// The readers file's path (static storage, valid until the next call).
const char* tarsin_vpcsc_readers_path();
}
