#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""The DESFire personalisation of examples/desfire-personalise.txt, from Python: two applications
with their own keys, one file of each kind, records, values with a commit, all read back.

Usage: /usr/bin/python3 desfire_personalise.py [READER]   (default: the virtual DESFire reader)"""
import sys

import tarsinrf

ZERO = "0000000000000000"


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

# Application A1A2A3: three keys, the master key changed last, one file of each kind.
check("SelectRoot", e.DESFireSelectRoot(ZERO))
check("CreateApplication", e.DESFireCreateApplication("A1A2A3", tarsinrf.dfkApplDefault, 3))
check("SelectApplication", e.DESFireSelectApplication("A1A2A3", 0, ZERO))
check("ChangeKey 1", e.DESFireChangeKey(1, ZERO, "00112233445566778899AABBCCDDEEFF"))
check("ChangeKey 2", e.DESFireChangeKey(2, ZERO, "1122334455667788"))
check("ChangeKey 0", e.DESFireChangeKey(0, ZERO, "0123456789ABCDEF"))
check("SelectApplication", e.DESFireSelectApplication("A1A2A3", 0, "0123456789ABCDEF"))
free = tarsinrf.dfaAllowAll
check("CreateStdDataFile", e.DESFireCreateStdDataFile(1, tarsinrf.dfcPlain, 1, 2, 0, 0, 32))
check("CreateBackupDataFile", e.DESFireCreateBackupDataFile(2, tarsinrf.dfcPlain, 1, 2, 0, 0, 16))
check("CreateValueFile", e.DESFireCreateValueFile(3, tarsinrf.dfcPlain, 1, 2, 0, 0, 0, 1000, 0,
                                                  True))
check("CreateLinearRecordFile",
      e.DESFireCreateLinearRecordFile(4, tarsinrf.dfcPlain, free, free, free, 0, 8, 5))
check("CreateCyclicRecordFile",
      e.DESFireCreateCyclicRecordFile(5, tarsinrf.dfcPlain, free, free, free, 0, 4, 4))
check("WriteData", e.DESFireWriteData(1, 0, 0, "TARSIN RF HOLDER 0001", False))
check("WriteData", e.DESFireWriteData(2, 0, 0, "0102030405060708", True))
check("CommitTransaction", e.DESFireCommitTransaction())
check("Credit", e.DESFireCredit(3, 250))
check("CommitTransaction", e.DESFireCommitTransaction())
check("WriteRecord", e.DESFireWriteRecord(4, 0, 0, "2026120700000001", True))
check("CommitTransaction", e.DESFireCommitTransaction())
check("WriteRecord", e.DESFireWriteRecord(5, 0, 0, "0A0B0C0D", True))
check("CommitTransaction", e.DESFireCommitTransaction())
holder, = check("ReadData", e.DESFireReadData(1, 0, 21, "", False))
backup, = check("ReadData", e.DESFireReadData(2, 0, 0, "", True))
value, = check("GetValue", e.DESFireGetValue(3))
records, = check("ReadRecords", e.DESFireReadRecords(4, 0, 0, "", True))

# Application B1B2B3: a loyalty purse under its own master key.
check("SelectRoot", e.DESFireSelectRoot(ZERO))
check("CreateApplication", e.DESFireCreateApplication("B1B2B3", tarsinrf.dfkApplDefault, 2))
check("SelectApplication", e.DESFireSelectApplication("B1B2B3", 0, ZERO))
check("ChangeKey 0", e.DESFireChangeKey(0, ZERO, "FEDCBA9876543210"))
check("SelectApplication", e.DESFireSelectApplication("B1B2B3", 0, "FEDCBA9876543210"))
check("CreateValueFile", e.DESFireCreateValueFile(0, tarsinrf.dfcPlain, free, free, free, 0,
                                                  -500, 5000, 100, False))
check("Credit", e.DESFireCredit(0, 400))
check("Debit", e.DESFireDebit(0, 50))
check("CommitTransaction", e.DESFireCommitTransaction())
purse, = check("GetValue", e.DESFireGetValue(0))
check("SelectRoot", e.DESFireSelectRoot(ZERO))
applications, = check("GetApplications", e.DESFireGetApplications())
check("CloseEncoder", e.CloseEncoder())

print(f"holder {holder!r}, backup {backup}, value {value}, record {records}, purse {purse}, "
      f"applications {applications}")
