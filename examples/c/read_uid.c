/* SPDX-License-Identifier: Apache-2.0 */
/* Reads the serial number of the card on a reader through the C interface of Tarsin RF.
 * Usage: read_uid [READER]   (default: the first virtual reader) */
#include <stdio.h>
#include <string.h>
#include <tarsin/tarsin.h>

/* Prints LastError's fields after a failed member. */
static void print_last_error(tarsin_encoder* encoder) {
  static const char* const fields[] = {"Number", "Description", "ComFunction", "RdrCommand",
                                       "RdrRetCode"};
  tarsin_error* error = tarsin_encoder_last_error(encoder);
  tarsin_variant value;
  tarsin_variant_init(&value);
  for (size_t i = 0; error && i < sizeof fields / sizeof fields[0]; ++i) {
    if (tarsin_error_get(error, fields[i], &value, NULL) != 0) continue;
    if (value.kind == TARSIN_STRING) {
      fprintf(stderr, "  %s = \"%s\"\n", fields[i], value.text);
    } else {
      fprintf(stderr, "  %s = 0x%08X\n", fields[i], (unsigned)value.integer);
    }
  }
  tarsin_variant_clear(&value);
  tarsin_error_release(error);
}

/* Calls a member whose result is an sceReturnCode; 1 when it succeeded. */
static int call(tarsin_encoder* encoder, const char* name, int let, tarsin_variant* args,
                size_t count) {
  tarsin_variant result;
  tarsin_failure failure;
  tarsin_variant_init(&result);
  if (tarsin_invoke(encoder, name, let, args, count, &result, &failure) != 0) {
    fprintf(stderr, "%s: 0x%08X %s\n", name, (unsigned)failure.number, failure.description);
    return 0;
  }
  const int ok = let || result.integer == TARSIN_SCE_SUCCESS;
  tarsin_variant_clear(&result);
  if (!ok) {
    fprintf(stderr, "%s failed:\n", name);
    print_last_error(encoder);
  }
  return ok;
}

int main(int argc, char** argv) {
  const char* reader = argc > 1 ? argv[1] : "Tarsin Virtual Reader 0";
  char parameters[600];
  snprintf(parameters, sizeof parameters, "device=%s;protocol=2;open_mode=2", reader);

  tarsin_encoder* encoder = tarsin_encoder_create();
  if (!encoder) return 2;
  tarsin_variant arg;
  tarsin_variant_init(&arg);
  int ok =
      tarsin_variant_set_string(&arg, parameters) == 0 && call(encoder, "Parameters", 1, &arg, 1);
  tarsin_variant_set_int32(&arg, 0);
  ok = ok && call(encoder, "OpenEncoder", 0, &arg, 1);
  /* The serial number comes back in the argument itself: it is passed by reference. */
  tarsin_variant_set_string(&arg, "");
  arg.flags = TARSIN_BYREF;
  ok = ok && call(encoder, "ReadSerialNumber", 0, &arg, 1);
  if (ok) printf("%s\n", arg.text);
  tarsin_variant_clear(&arg);
  call(encoder, "CloseEncoder", 0, NULL, 0);
  tarsin_encoder_release(encoder);
  return ok ? 0 : 1;
}
