/* SPDX-License-Identifier: Apache-2.0 */
/* A whole EV1 personalisation of the virtual DESFire card by libfreefare's C API through pcscd,
 * every cryptogram checked by libfreefare's own crypto; `read-component` reads what the component
 * wrote instead (libfreefare_test.py). Keys and tags are never freed (Debian's libfreefare 0.4.0
 * crashes freeing a used tag). */
#include <freefare.h>
#include <nfc/nfc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static MifareTag tag;
static int failures;
static const uint16_t key0 = MDAR(MDAR_KEY0, MDAR_KEY0, MDAR_KEY0, MDAR_KEY0);

/* Reports a failed step with libfreefare's reason. */
static void check(int ok, const char* step) {
  if (!ok) {
    printf("FAILED: %s (%s)\n", step, freefare_strerror(tag));
    ++failures;
  }
}

static void select_application(uint32_t id) {
  MifareDESFireAID aid = mifare_desfire_aid_new(id);
  check(mifare_desfire_select_application(tag, aid) == 0, "select application");
  free(aid);
}

/* A new application, then selected. */
static void create_application(uint32_t id,
                               int (*create)(MifareTag, MifareDESFireAID, uint8_t, uint8_t),
                               uint8_t keys) {
  MifareDESFireAID aid = mifare_desfire_aid_new(id);
  check(create(tag, aid, 0x0F, keys) == 0, "create application");
  free(aid);
  select_application(id);
}

static void expect_key_settings(uint8_t settings, uint8_t keys, const char* step) {
  uint8_t got_settings = 0, got_keys = 0;
  check(mifare_desfire_get_key_settings(tag, &got_settings, &got_keys) == 0 &&
            got_settings == settings && got_keys == keys,
        step);
}

static void expect_key_version(uint8_t key_no, uint8_t expected, const char* step) {
  uint8_t version = 0xFF;
  check(mifare_desfire_get_key_version(tag, key_no, &version) == 0 && version == expected, step);
}

/* Whether `ok` holds and the transaction that follows it commits. */
static int committed(int ok) {
  return ok && mifare_desfire_commit_transaction(tag) == 0;
}

/* Writes 80 bytes to a data file and reads them back; `back` has room for the CMAC and padding
 * libfreefare copies in too. */
static void write_and_read(uint8_t file_no, const char* step) {
  uint8_t data[80], back[128] = {0};
  for (size_t i = 0; i < sizeof data; ++i) data[i] = (uint8_t)(file_no * 16 + i);
  check(mifare_desfire_write_data(tag, file_no, 0, sizeof data, data) == sizeof data, step);
  if (file_no == 6) check(committed(1), "commit backup file");
  check(mifare_desfire_read_data(tag, file_no, 0, sizeof data, back) == sizeof data &&
            memcmp(data, back, sizeof data) == 0,
        step);
}

/* A 40-byte data file `file_no` that key 0 guards, holding `text` at its start. */
static void create_with_text(uint8_t file_no, uint8_t mode, const char* text, const char* step) {
  const size_t length = strlen(text);
  check(mifare_desfire_create_std_data_file(tag, file_no, mode, key0, 40) == 0 &&
            mifare_desfire_write_data(tag, file_no, 0, length, text) == (ssize_t)length,
        step);
}

static void card_level(void) {
  uint8_t zero16[16] = {0}, zero24[24] = {0}, aes[16], three[24];
  for (int i = 0; i < 16; ++i) aes[i] = (uint8_t)(0xA0 + i);
  /* The parity bits of the first eight bytes carry version 0xAA. */
  for (int i = 0; i < 24; ++i) three[i] = (uint8_t)((0x30 + 2 * i) | (i < 8 ? (i % 2 == 0) : 0));
  MifareDESFireKey des = mifare_desfire_des_key_new(zero16);
  MifareDESFireKey picc_aes = mifare_desfire_aes_key_new_with_version(aes, 0x42);
  MifareDESFireKey zero_3k = mifare_desfire_3k3des_key_new(zero24);
  MifareDESFireKey new_3k = mifare_desfire_3k3des_key_new_with_version(three);
  MifareDESFireKey zero_aes = mifare_desfire_aes_key_new(zero16);

  check(mifare_desfire_authenticate_iso(tag, 0, des) == 0, "ISO authentication, DES key");
  check(mifare_desfire_format_picc(tag) == 0, "format");
  check(mifare_desfire_authenticate_iso(tag, 0, des) == 0, "ISO authentication after format");
  struct mifare_desfire_version_info version;
  check(mifare_desfire_get_version(tag, &version) == 0 && version.software.version_major == 1 &&
            version.uid[0] == 0x04,
        "GetVersion");
  uint32_t free_memory = 0;
  check(mifare_desfire_free_mem(tag, &free_memory) == 0 && free_memory == 4864, "FreeMem");
  char* uid = NULL;
  check(mifare_desfire_get_card_uid(tag, &uid) == 0 && uid && strcmp(uid, "04112233445566") == 0,
        "GetCardUID");
  free(uid);

  check(mifare_desfire_change_key(tag, 0, picc_aes, des) == 0, "card master key made AES");
  check(mifare_desfire_authenticate_aes(tag, 0, picc_aes) == 0, "AES authentication, card");
  expect_key_settings(0x0F, 1, "card key settings");
  expect_key_version(0, 0x42, "AES key version");
  check(mifare_desfire_change_key(tag, 0, des, picc_aes) == 0, "card master key back to DES");
  check(mifare_desfire_authenticate_iso(tag, 0, des) == 0, "ISO authentication again");

  create_application(0x3D3D3D, mifare_desfire_create_application_3k3des, 2);
  check(mifare_desfire_authenticate_iso(tag, 0, zero_3k) == 0, "ISO authentication, 3K3DES");
  check(mifare_desfire_change_key(tag, 1, new_3k, zero_3k) == 0, "3K3DES other key");
  expect_key_version(1, 0xAA, "3K3DES key version");
  check(mifare_desfire_authenticate_iso(tag, 1, new_3k) == 0, "ISO authentication, new key");

  select_application(0);
  create_application(0xAE5AE5, mifare_desfire_create_application_aes, 3);
  check(mifare_desfire_authenticate_aes(tag, 0, zero_aes) == 0, "AES authentication, application");
  check(mifare_desfire_change_key_settings(tag, 0x0B) == 0, "ChangeKeySettings");
  expect_key_settings(0x0B, 3, "application key settings");
}

static void aes_application(void) {
  uint8_t zero[16] = {0}, master[16], other[16];
  for (int i = 0; i < 16; ++i) master[i] = (uint8_t)(0x10 * i), other[i] = (uint8_t)(0xF0 - i);
  MifareDESFireKey zero_aes = mifare_desfire_aes_key_new(zero);
  MifareDESFireKey new_master = mifare_desfire_aes_key_new_with_version(master, 0x10);
  MifareDESFireKey new_other = mifare_desfire_aes_key_new_with_version(other, 0x20);
  check(mifare_desfire_change_key(tag, 0, new_master, zero_aes) == 0, "AES same key");
  check(mifare_desfire_authenticate_aes(tag, 0, new_master) == 0, "AES authentication, new key");
  check(mifare_desfire_change_key(tag, 2, new_other, zero_aes) == 0, "AES other key");
  expect_key_version(2, 0x20, "AES other key version");
  check(mifare_desfire_authenticate_aes(tag, 2, new_other) == 0, "AES authentication, key 2");
  check(mifare_desfire_authenticate_aes(tag, 0, new_master) == 0, "AES authentication, key 0");

  const uint8_t modes[] = {MDCM_PLAIN, MDCM_MACED, MDCM_ENCIPHERED};
  for (uint8_t file_no = 1; file_no <= 3; ++file_no) {
    check(mifare_desfire_create_std_data_file(tag, file_no, modes[file_no - 1], key0, 80) == 0,
          "data file of each mode");
    write_and_read(file_no, "data file");
  }
  check(mifare_desfire_create_backup_data_file(tag, 6, MDCM_ENCIPHERED, key0, 80) == 0,
        "backup file");
  write_and_read(6, "backup file");

  check(mifare_desfire_create_value_file(tag, 4, MDCM_ENCIPHERED, key0, 0, 1000, 100, 1) == 0,
        "value file");
  int32_t value = 0;
  check(committed(mifare_desfire_credit(tag, 4, 50) == 0), "credit");
  check(committed(mifare_desfire_debit(tag, 4, 30) == 0), "debit");
  check(committed(mifare_desfire_limited_credit(tag, 4, 20) == 0), "limited credit");
  check(mifare_desfire_get_value(tag, 4, &value) == 0 && value == 140, "value");

  uint8_t record[12] = "record one!", records[64] = {0};
  check(mifare_desfire_create_linear_record_file(tag, 5, MDCM_MACED, key0, 12, 4) == 0,
        "record file");
  check(mifare_desfire_create_cyclic_record_file(tag, 7, MDCM_ENCIPHERED, key0, 12, 3) == 0,
        "cyclic record file");
  for (uint8_t file_no = 5; file_no <= 7; file_no += 2) {
    check(committed(mifare_desfire_write_record(tag, file_no, 0, 12, record) == 12) &&
              committed(mifare_desfire_write_record(tag, file_no, 0, 12, record) == 12),
          "write records");
    check(mifare_desfire_read_records(tag, file_no, 0, 2, records) == 24 &&
              memcmp(records + 12, record, 12) == 0,
          "read records");
  }

  create_with_text(8, MDCM_PLAIN, "WRITTEN BY LIBFREEFARE", "a plain file for the component");

  check(mifare_desfire_change_file_settings(tag, 1, MDCM_ENCIPHERED, key0) == 0,
        "ChangeFileSettings");
  write_and_read(1, "file made enciphered");
  uint8_t plain[4] = {1, 2, 3, 4};
  check(mifare_desfire_write_data_ex(tag, 2, 0, sizeof plain, plain, MDCM_PLAIN) < 0,
        "a plain write to a MACed file is refused");
}

/* The two-key key of the legacy applications, 00112233445566778899AABBCCDDEEFF as the component
 * writes it; its parity bits kept as they are. */
static MifareDESFireKey legacy_key(void) {
  uint8_t key[16];
  for (int i = 0; i < 16; ++i) key[i] = (uint8_t)(0x11 * i);
  return mifare_desfire_3des_key_new_with_version(key);
}

/* Legacy application 4C4C4C (DES keys, authentication 0x0A), key 0 made two-key: MACed and
 * enciphered data, an enciphered value, a MACed record, for the component to read back. */
static void legacy_application(void) {
  uint8_t zero[8] = {0};
  MifareDESFireKey des = mifare_desfire_des_key_new(zero);
  MifareDESFireKey two_key = legacy_key();
  select_application(0);
  check(mifare_desfire_authenticate_iso(tag, 0, des) == 0, "card master key, before legacy");
  create_application(0x4C4C4C, mifare_desfire_create_application, 1);
  check(mifare_desfire_authenticate(tag, 0, des) == 0, "legacy authentication, DES");
  check(mifare_desfire_change_key(tag, 0, two_key, des) == 0, "legacy key made two-key");
  check(mifare_desfire_authenticate(tag, 0, two_key) == 0, "legacy authentication, 2K3DES");
  create_with_text(2, MDCM_MACED, "LEGACY MACED BY LIBFREEFARE", "legacy MACed file");
  create_with_text(3, MDCM_ENCIPHERED, "LEGACY ENCIPHERED BY LIBFREEFARE",
                   "legacy enciphered file");
  check(mifare_desfire_create_value_file(tag, 4, MDCM_ENCIPHERED, key0, 0, 1000, 10, 0) == 0 &&
            committed(mifare_desfire_credit(tag, 4, 25) == 0),
        "legacy value file");
  uint8_t record[8] = "LEGACY!";
  check(mifare_desfire_create_linear_record_file(tag, 5, MDCM_MACED, key0, 8, 2) == 0 &&
            committed(mifare_desfire_write_record(tag, 5, 0, 8, record) == 8),
        "legacy record file");
}

/* Reads `text` back from the start of data file `file_no`, with room for CMAC and padding. */
static void expect_text(uint8_t file_no, const char* text, const char* step) {
  uint8_t back[64] = {0};
  const size_t length = strlen(text);
  check(mifare_desfire_read_data(tag, file_no, 0, length, back) == (ssize_t)length &&
            memcmp(back, text, length) == 0,
        step);
}

/* The component's legacy 5A5A5A (test script): MACed and enciphered files and value, two-key. */
static void read_component_legacy(void) {
  select_application(0x5A5A5A);
  check(mifare_desfire_authenticate(tag, 0, legacy_key()) == 0, "legacy key the component set");
  expect_text(2, "LEGACY MACED BY TARSIN RF", "the component's legacy MACed file");
  expect_text(3, "LEGACY ENCIPHERED BY TARSIN RF", "the component's legacy enciphered file");
  int32_t value = 0;
  check(mifare_desfire_get_value(tag, 4, &value) == 0 && value == 77,
        "the component's legacy value");
}

/* What examples/desfire-personalise-aes.txt leaves on the card, read with libfreefare's crypto. */
static void read_component(void) {
  uint8_t master[16], other[16];
  for (int i = 0; i < 16; ++i) master[i] = (uint8_t)(0x11 * i), other[i] = (uint8_t)(15 - i);
  /* The component's application id text is the bytes as sent, least significant first. */
  select_application(0xC3C2C1);
  check(mifare_desfire_authenticate_aes(tag, 0, mifare_desfire_aes_key_new(master)) == 0,
        "AES key 0 the component set");
  expect_key_settings(0x0F, 2, "two AES keys");
  expect_key_version(1, 0x01, "key 1's version as the component wrote it");
  expect_text(1, "TARSIN RF AES HOLDER 0001", "the component's file");
  expect_text(2, "MACED BY TARSIN RF", "the component's MACed file");
  expect_text(3, "ENCIPHERED BY TARSIN RF", "the component's enciphered file");
  check(mifare_desfire_authenticate_aes(tag, 1, mifare_desfire_aes_key_new(other)) == 0,
        "AES key 1 the component set");
}

int main(int argc, char** argv) {
  const int reading = argc == 2 && strcmp(argv[1], "read-component") == 0;
  setvbuf(stdout, NULL, _IONBF, 0);
  nfc_context* context = NULL;
  nfc_init(&context);
  nfc_device* device = context ? nfc_open(context, NULL) : NULL;
  MifareTag* tags = device ? freefare_get_tags(device) : NULL;
  for (int i = 0; tags && tags[i]; ++i)
    if (freefare_get_tag_type(tags[i]) == DESFIRE) tag = tags[i];
  if (!tag || mifare_desfire_connect(tag) < 0) {
    printf("FAILED: no DESFire card on the reader\n");
    return 1;
  }
  if (reading) {
    read_component();
    read_component_legacy();
  } else {
    card_level();
    if (!failures) aes_application();
    if (!failures) legacy_application();
  }
  mifare_desfire_disconnect(tag);
  nfc_close(device);
  nfc_exit(context);
  if (!failures)
    printf("%s through libfreefare: all steps passed\n",
           reading ? "The component's AES application read" : "EV1 personalisation");
  return failures ? 1 : 0;
}
