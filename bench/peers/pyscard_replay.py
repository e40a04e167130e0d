#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""A peer to compare the component's CPU with: pyscard sends the given frames through pcscd, one
SCardTransmit each, and checks only that every one was answered.

    pyscard_replay.py FRAMES READER...     FRAMES: a file of command APDUs in hex, one a line
"""
import sys

from smartcard.scard import (SCARD_PCI_T1, SCARD_PROTOCOL_T1, SCARD_S_SUCCESS, SCARD_SCOPE_USER,
                             SCARD_SHARE_SHARED, SCARD_LEAVE_CARD, SCardConnect,
                             SCardDisconnect, SCardEstablishContext,
                             SCardTransmit)


def main(frames, *readers):
    commands = [list(bytes.fromhex(line)) for line in open(frames).read().split()]
    result, context = SCardEstablishContext(SCARD_SCOPE_USER)
    for reader in readers:
        result, card, _ = SCardConnect(context, reader, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T1)
        if result != SCARD_S_SUCCESS:
            sys.exit("cannot connect to %s: 0x%08X" % (reader, result & 0xFFFFFFFF))
        for command in commands:
            result, answer = SCardTransmit(card, SCARD_PCI_T1, command)
            if result != SCARD_S_SUCCESS or len(answer) < 2:
                sys.exit("SCardTransmit failed: 0x%08X" % (result & 0xFFFFFFFF))
        SCardDisconnect(card, SCARD_LEAVE_CARD)
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
