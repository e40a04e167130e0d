/* SPDX-License-Identifier: Apache-2.0 */
/* The yardstick every frame is measured against: COUNT bare SCardTransmit calls of the component's
 * frame (FF CA 00 00 00, the card's UID) through pcscd, from C, with nothing around them.
 *     bare_transmit READER COUNT
 *     bare_transmit idle            starts and ends only (the process's own cost, taken out) */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <winscard.h>

int main(int argc, char** argv) {
  if (argc == 2 && strcmp(argv[1], "idle") == 0) return 0;
  if (argc != 3) {
    fprintf(stderr, "usage: bare_transmit READER COUNT | idle\n");
    return 2;
  }
  const long count = strtol(argv[2], NULL, 10);
  SCARDCONTEXT context = 0;
  SCARDHANDLE card = 0;
  DWORD protocol = 0;
  LONG result = SCardEstablishContext(SCARD_SCOPE_USER, NULL, NULL, &context);
  if (result == SCARD_S_SUCCESS)
    result =
        SCardConnect(context, argv[1], SCARD_SHARE_SHARED, SCARD_PROTOCOL_T1, &card, &protocol);
  const unsigned char command[] = {0xFF, 0xCA, 0x00, 0x00, 0x00};
  unsigned char answer[258];
  for (long i = 0; i < count && result == SCARD_S_SUCCESS; ++i) {
    DWORD length = sizeof answer;
    result = SCardTransmit(card, SCARD_PCI_T1, command, sizeof command, NULL, answer, &length);
  }
  if (result != SCARD_S_SUCCESS) {
    fprintf(stderr, "bare_transmit: 0x%08lX\n", (unsigned long)result);
    return 1;
  }
  SCardDisconnect(card, SCARD_LEAVE_CARD);
  SCardReleaseContext(context);
  return 0;
}
