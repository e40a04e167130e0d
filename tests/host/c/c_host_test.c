/* A C host, in C89 with every warning an error: the header must compile so. Each misuse that once
 * crashed a call, now refused with a defined error. (Readers and waits through the C interface:
 * CAbi.ReadersAndWaits; a card another process inserts: HostBench.ReadersAreListedAndCardsAwaited.)
 */
#define _POSIX_C_SOURCE 200809L
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tarsin/tarsin.h"

static int failures = 0;

#define CHECK(condition)                                                      \
  do {                                                                        \
    if (!(condition)) {                                                       \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
      ++failures;                                                             \
    }                                                                         \
  } while (0)

static void misuses_are_refused(void) {
  tarsin_encoder* encoder = tarsin_encoder_create();
  tarsin_variant args[2];
  tarsin_variant result;
  tarsin_variant nested;
  tarsin_variant* level;
  tarsin_failure failure;
  char text[] = "literal";
  int depth;

  /* An uninitialised result is only written; an optional argument left out. */
  memset(&result, 0xA5, sizeof result);
  tarsin_variant_init(&args[0]);
  tarsin_variant_init(&args[1]);
  tarsin_variant_set_string(&args[0], "9000");
  tarsin_variant_set_missing(&args[1]);
  CHECK(tarsin_invoke(encoder, "GetResponseText", 0, args, 2, &result, &failure) == 0);
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
  /* A home of its own: the virtual readers, the registry, the log. */
  setenv("TARSIN_RF_PCSC_LIBRARY", TARSIN_TEST_VPCSC_LIBRARY, 1);
  sprintf(path, "%s/readers.json", home);
  setenv("TARSIN_RF_VIRTUAL_READERS", path, 1);
  setenv("TARSIN_RF_REGISTRY_DIR", home, 1);
  setenv("XDG_DATA_HOME", home, 1);

  CHECK(strcmp(tarsin_version(&major, NULL, NULL), "1.0.0") == 0 && major == 1);
  misuses_are_refused();
  sprintf(path, "rm -rf '%s'", home);
  CHECK(system(path) == 0);
  if (failures == 0) puts("all passed");
  return failures == 0 ? 0 : 1;
}
