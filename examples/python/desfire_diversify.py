#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""Per-card keys on DESFire EV1 (NXP's AN10922): the application's master key is diversified
from one master key, the card's real UID, the application id and a system identifier, written
to the card, then used to authenticate and to write and read an enciphered file.

Usage: /usr/bin/python3 desfire_diversify.py [READER]   (default: the virtual DESFire reader)"""
import sys

import tarsinrf

MASTER = "AES:00112233445566778899AABBCCDDEEFF/01"  # kept by the issuer, never on a card
APPLICATION = "D1D2D3"
SYSTEM = "Tarsin RF".encode().hex().upper()  # the system identifier, the same for every card
ZERO_AES = "AES:" + "0" * 32


def check(name, outcome):
    """The result of a member (alone or first of a tuple); stops with LastError when it failed."""
    result = outcome[0] if isinstance(outcome, tuple) else outcome
    if result != tarsinrf.scesuccess:
        error = encoder.LastError
        sys.exit(f"{name} failed: 0x{error.Number & 0xFFFFFFFF:08X} {error.Description} "
                 f"({error.ComFunction}, {error.RdrCommand}, {error.RdrRetCode})")
    return outcome[1:] if isinstance(outcome, tuple) else None


reader = sys.argv[1] if len(sys.argv) > 1 else None
if reader is None:
    tarsinrf.use_virtual_reader()
    reader = "Tarsin Virtual Reader 1"
encoder = tarsinrf.Encoder()
encoder.Parameters = f"device={reader};protocol=2;open_mode=2"
e = encoder
check("OpenEncoder", e.OpenEncoder(0))

# An AES application (key-type bit 0x80, two keys), entered with its factory key. The real UID
# needs a session: the card may show a random ID at activation.
check("SelectRoot", e.DESFireSelectRoot("0" * 16))
check("CreateApplication", e.DESFireCreateApplication(APPLICATION, tarsinrf.dfkApplDefault, 0x82))
check("SelectApplication", e.DESFireSelectApplication(APPLICATION, 0, ZERO_AES))
uid, = check("GetCardUID", e.DESFireGetCardUID(""))

# M = UID || application id || system identifier: 18 bytes, this card's own key.
card_key, = check("DiversifyKey", e.DESFireDiversifyKey(MASTER, uid + APPLICATION + SYSTEM, ""))
check("ChangeKey 0", e.DESFireChangeKey(0, ZERO_AES, card_key))

# From now on only the card's own key opens the application.
check("SelectApplication", e.DESFireSelectApplication(APPLICATION, 0, card_key))
check("CreateStdDataFile", e.DESFireCreateStdDataFile(1, tarsinrf.dfcCiphered, 0, 0, 0, 0, 32))
check("WriteData", e.DESFireWriteData(1, 0, 0, "DIVERSIFIED BY TARSIN RF", False))
holder, = check("ReadData", e.DESFireReadData(1, 0, 24, "", False))
version, = check("GetKeyVersion", e.DESFireGetKeyVersion(0, 0))
check("CloseEncoder", e.CloseEncoder())

print(f"UID {uid}, card key {card_key} (version {version}), holder {holder!r}")
