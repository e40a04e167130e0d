/* SPDX-License-Identifier: Apache-2.0 */
/* A C host, in C89 with every warning an error: the header must compile so. Readers and card
 * arrival (a card another process inserts, a timeout, a cancel from another thread), then each
 * misuse that once crashed a call, now refused with a defined error. */
#define _POSIX_C_SOURCE 200809L
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "tarsin/tarsin.h"

static int failures = 0;

#define CHECK(condition)                                                      \
  do {                                                                        \
    if (!(condition)) {                                                       \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
      ++failures;                                                             \
    }                                                                         \
  } while (0)

static const char* const reader0 = "Tarsin Virtual Reader 0";

/* tarsin-rf with `arguments`, after `delay` seconds in the background when it is not 0. */
static int cli(const char* arguments, int delay) {
  char command[1024];
  if (delay > 0) {
    sprintf(command, "(sleep %d; '%s' %s) &", delay, TARSIN_TEST_CLI, arguments);
  } else {
    sprintf(command, "'%s' %s", TARSIN_TEST_CLI, arguments);
  }
  return system(command);
}

static void* cancel_later(void* watch) {
  struct timespec pause;
  pause.tv_sec = 0;
  pause.tv_nsec = 300000000L;
  nanosleep(&pause, NULL);
  tarsin_reader_watch_cancel((tarsin_reader_watch*)watch);
  return NULL;
}

static void readers_and_arrival(void) {
  tarsin_reader_watch* watch = tarsin_reader_watch_create();
  tarsin_reader_status* readers = NULL;
  tarsin_reader_status status;
  tarsin_failure failure;
  size_t count = 0;
  pthread_t canceller;

  CHECK(tarsin_reader_watch_list(watch, &readers, &count, &failure) == 0);
  CHECK(count == 2 && strcmp(readers[0].name, reader0) == 0 && readers[0].card_present == 1);
  CHECK(count == 2 && readers[0].card_type == TARSIN_sceMifare1K);
  tarsin_reader_list_free(readers, count);

  CHECK(cli("virtual remove", 0) == 0);
  CHECK(tarsin_reader_watch_wait(watch, reader0, TARSIN_CARD_ARRIVAL, 200, &status, &failure) ==
        TARSIN_E_TIMEOUT);
  CHECK(failure.number == TARSIN_E_TIMEOUT && strstr(failure.description, "timeout") != NULL);

  cli("virtual insert mifare-classic-4k", 1);
  CHECK(tarsin_reader_watch_wait(watch, reader0, TARSIN_CARD_ARRIVAL, 20000, &status, &failure) ==
        0);
  CHECK(strcmp(status.name, reader0) == 0 && status.card_type == TARSIN_sceMifare4K);
  tarsin_reader_status_clear(&status);

  CHECK(cli("virtual remove", 0) == 0);
  pthread_create(&canceller, NULL, cancel_later, watch);
  CHECK(tarsin_reader_watch_wait(watch, reader0, TARSIN_CARD_ARRIVAL, TARSIN_WAIT_FOREVER, NULL,
                                 &failure) == TARSIN_E_CANCELLED);
  pthread_join(canceller, NULL);
  tarsin_reader_watch_release(watch);
}

static void misuses_are_refused(void) {
  tarsin_encoder* encoder = tarsin_encoder_create();
  tarsin_variant args[2];
  tarsin_variant result;
  tarsin_variant nested;
  tarsin_variant* level;
  tarsin_failure failure;
  char text[] = "literal";
  int depth;

  /* An uninitialised result is only written. */
  memset(&result, 0xA5, sizeof result);
  tarsin_variant_init(&args[0]);
  tarsin_variant_set_string(&args[0], "9000");
  CHECK(tarsin_invoke(encoder, "GetResponseText", 0, args, 1, &result, &failure) == 0);
  CHECK(result.kind == TARSIN_STRING && strncmp(result.text, "[OK]", 4) == 0);
  tarsin_variant_clear(&result);

  /* A by-ref text the host owns (here on its stack) is replaced, never freed. */
  tarsin_variant_init(&args[1]);
  args[1].kind = TARSIN_STRING;
  args[1].text = text;
  args[1].length = strlen(text);
  args[1].flags = TARSIN_BYREF;
  CHECK(tarsin_invoke(encoder, "ReadSerialNumber", 0, &args[1], 1, NULL, &failure) == 0);
  CHECK(args[1].kind == TARSIN_STRING && strcmp(text, "literal") == 0);
  tarsin_variant_clear(&args[1]);

  /* A count beyond the member's parameters is refused before the arguments are read. */
  CHECK(tarsin_invoke(encoder, "WriteLog", 0, args, 1000000, NULL, &failure) ==
        TARSIN_DISP_E_BADPARAMCOUNT);

  /* Arrays nested 200,000 deep: refused, and cleared without exhausting the stack. */
  tarsin_variant_init(&nested);
  level = &nested;
  for (depth = 0; depth < 200000; ++depth) {
    tarsin_variant_set_array(level, 1);
    level = &level->elements[0];
  }
  CHECK(tarsin_invoke(encoder, "WriteLog", 0, &nested, 1, NULL, &failure) ==
        TARSIN_DISP_E_TYPEMISMATCH);
  tarsin_variant_clear(&nested);
  CHECK(nested.kind == TARSIN_EMPTY && nested.elements == NULL);

  tarsin_variant_clear(&args[0]);
  tarsin_encoder_release(encoder);
}

int main(void) {
  char home[] = "/tmp/tarsin-c-host-XXXXXX";
  char path[256];
  int major = 0;
  if (!mkdtemp(home)) return 2;
  /* A home of its own: the virtual readers, a registry with the card-type table, the log. */
  setenv("TARSIN_RF_PCSC_LIBRARY", TARSIN_TEST_VPCSC_LIBRARY, 1);
  sprintf(path, "%s/readers.json", home);
  setenv("TARSIN_RF_VIRTUAL_READERS", path, 1);
  setenv("TARSIN_RF_REGISTRY_DIR", home, 1);
  setenv("XDG_DATA_HOME", home, 1);
  CHECK(cli("reg import '" TARSIN_TEST_CARD_TYPES "' > /dev/null", 0) == 0);

  CHECK(strcmp(tarsin_version(&major, NULL, NULL), "1.0.0") == 0 && major == 1);
  readers_and_arrival();
  misuses_are_refused();
  sprintf(path, "rm -rf '%s'", home);
  system(path);
  if (failures == 0) puts("all passed");
  return failures == 0 ? 0 : 1;
}
