/* SPDX-License-Identifier: Apache-2.0 */
/* The DESFire personalisation of examples/desfire-personalise.txt done by libfreefare's C API, a
 * peer to compare the component's CPU per card with: the same applications, keys, files, data,
 * values and records, the same legacy DES authentications, and everything read back. libfreefare
 * looks a file's communication settings up before each data or value command, as the component
 * does. Reaches the cards through libnfc's PC/SC driver.
 *     libfreefare_personalise [connect] pcsc:READER...
 * With `connect` it only connects and disconnects (its cost beside the card work).
 * Exits 1 naming the first step that failed. Keys and tags are left to the end of the process
 * (Debian's libfreefare 0.4.0 crashes freeing a used tag). */
#include <freefare.h>
#include <nfc/nfc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static MifareTag tag;

static void step(int ok, const char* name) {
  if (!ok) {
    printf("FAILED: %s (%s)\n", name, freefare_strerror(tag));
    exit(1);
  }
}

static MifareDESFireKey des(const char* hex) {
  uint8_t bytes[16];
  const size_t length = strlen(hex) / 2;
  for (size_t i = 0; i < length; ++i) sscanf(hex + 2 * i, "%2hhx", &bytes[i]);
  /* The component keeps the key bytes as given: the version bits stay too. */
  return length == 8 ? mifare_desfire_des_key_new_with_version(bytes)
                     : mifare_desfire_3des_key_new_with_version(bytes);
}

/* Selects the application (its bytes as the component sends them, least significant first) and
 * authenticates key 0. */
static void select_application(uint32_t id, const char* key) {
  MifareDESFireAID aid = mifare_desfire_aid_new(id);
  step(mifare_desfire_select_application(tag, aid) == 0, "select application");
  step(mifare_desfire_authenticate(tag, 0, des(key)) == 0, "authenticate");
}

static void create_application(uint32_t id, uint8_t keys) {
  step(mifare_desfire_create_application(tag, mifare_desfire_aid_new(id), 0x0F, keys) == 0,
       "create application");
}

static void commit(void) {
  step(mifare_desfire_commit_transaction(tag) == 0, "commit");
}

static void application_a(void) {
  const char* zero = "0000000000000000";
  create_application(0xA3A2A1, 3);
  select_application(0xA3A2A1, zero);
  step(mifare_desfire_change_key(tag, 1, des("00112233445566778899AABBCCDDEEFF"), des(zero)) == 0,
       "change key 1");
  step(mifare_desfire_change_key(tag, 2, des("1122334455667788"), des(zero)) == 0, "change key 2");
  step(mifare_desfire_change_key(tag, 0, des("0123456789ABCDEF"), des(zero)) == 0, "change key 0");
  select_application(0xA3A2A1, "0123456789ABCDEF");
  step(mifare_desfire_create_std_data_file(tag, 1, MDCM_PLAIN, 0x1200, 32) == 0, "std file");
  step(mifare_desfire_create_backup_data_file(tag, 2, MDCM_PLAIN, 0x1200, 16) == 0, "backup file");
  step(mifare_desfire_create_value_file(tag, 3, MDCM_PLAIN, 0x1200, 0, 1000, 0, 1) == 0,
       "value file");
  step(mifare_desfire_create_linear_record_file(tag, 4, MDCM_PLAIN, 0xEEE0, 8, 5) == 0,
       "linear record file");
  step(mifare_desfire_create_cyclic_record_file(tag, 5, MDCM_PLAIN, 0xEEE0, 4, 4) == 0,
       "cyclic record file");
  const char holder[] = "TARSIN RF HOLDER 0001";
  uint8_t backup[8] = {1, 2, 3, 4, 5, 6, 7, 8}, record[8] = {0x20, 0x26, 0x12, 0x07, 0, 0, 0, 1},
          cyclic[4] = {0x0A, 0x0B, 0x0C, 0x0D}, back[128];
  step(mifare_desfire_write_data(tag, 1, 0, sizeof holder - 1, holder) == sizeof holder - 1,
       "write std file");
  step(mifare_desfire_write_data(tag, 2, 0, sizeof backup, backup) == sizeof backup,
       "write backup file");
  commit();
  step(mifare_desfire_credit(tag, 3, 250) == 0, "credit");
  commit();
  step(mifare_desfire_write_record(tag, 4, 0, sizeof record, record) == sizeof record,
       "write linear record");
  commit();
  step(mifare_desfire_write_record(tag, 5, 0, sizeof cyclic, cyclic) == sizeof cyclic,
       "write cyclic record");
  commit();
  int32_t value = 0;
  step(mifare_desfire_read_data(tag, 1, 0, 0, back) == 32 && memcmp(back, holder, 21) == 0,
       "read std file");
  step(mifare_desfire_read_data(tag, 2, 0, 0, back) == 16 && memcmp(back, backup, 8) == 0,
       "read backup file");
  step(mifare_desfire_get_value(tag, 3, &value) == 0 && value == 250, "get value");
  step(mifare_desfire_read_records(tag, 4, 0, 0, back) == 8 && memcmp(back, record, 8) == 0,
       "read linear records");
  step(mifare_desfire_read_records(tag, 5, 0, 0, back) == 4 && memcmp(back, cyclic, 4) == 0,
       "read cyclic records");
}

static void application_b(void) {
  const char* zero = "0000000000000000";
  select_application(0, zero);
  create_application(0xB3B2B1, 2);
  select_application(0xB3B2B1, zero);
  step(mifare_desfire_change_key(tag, 0, des("FEDCBA9876543210"), des(zero)) == 0, "change key");
  select_application(0xB3B2B1, "FEDCBA9876543210");
  step(mifare_desfire_create_value_file(tag, 0, MDCM_PLAIN, 0xEEE0, -500, 5000, 100, 0) == 0,
       "purse");
  step(mifare_desfire_credit(tag, 0, 400) == 0, "credit purse");
  step(mifare_desfire_debit(tag, 0, 50) == 0, "debit purse");
  commit();
  int32_t value = 0;
  step(mifare_desfire_get_value(tag, 0, &value) == 0 && value == 450, "purse value");
  uint8_t* files = NULL;
  size_t count = 0;
  step(mifare_desfire_get_file_ids(tag, &files, &count) == 0 && count == 1, "file ids");
  select_application(0, zero);
  MifareDESFireAID* aids = NULL;
  step(mifare_desfire_get_application_ids(tag, &aids, &count) == 0 && count == 2, "applications");
}

int main(int argc, char** argv) {
  /* Each argument a libnfc device ("pcsc:READER"), one blank card each; `connect` first: only
   * connect and disconnect. */
  const int connect_only = argc > 1 && strcmp(argv[1], "connect") == 0;
  nfc_context* context = NULL;
  nfc_init(&context);
  step(context != NULL, "libnfc");
  for (int reader = 1 + connect_only; reader < argc; ++reader) {
    nfc_device* device = nfc_open(context, argv[reader]);
    MifareTag* tags = device ? freefare_get_tags(device) : NULL;
    tag = NULL;
    for (int i = 0; tags && tags[i]; ++i) {
      if (freefare_get_tag_type(tags[i]) == DESFIRE) tag = tags[i];
    }
    step(tag && mifare_desfire_connect(tag) == 0, "a DESFire card on the reader");
    if (!connect_only) {
      select_application(0, "0000000000000000");
      application_a();
      application_b();
    }
    mifare_desfire_disconnect(tag);
    nfc_close(device);
  }
  nfc_exit(context);
  return 0;
}
