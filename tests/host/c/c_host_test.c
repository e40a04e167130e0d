/* SPDX-License-Identifier: Apache-2.0 */
/* A C host, in C89 with every warning an error: the header must compile and link so. What the
 * calls do, misuses included: CAbi. */
#include <stdio.h>
#include <string.h>

#include "tarsin/tarsin.h"

int main(void) {
  int major = 0;
  if (strcmp(tarsin_version(&major, NULL, NULL), "1.0.0") != 0 || major != 1) {
    fputs("tarsin_version: not 1.0.0\n", stderr);
    return 1;
  }
  puts("all passed");
  return 0;
}
