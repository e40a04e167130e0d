// SPDX-License-Identifier: Apache-2.0
// The identifiers of the dialogs' resource, shared by the resource script and the code. Plain
// macros: the resource compiler reads this file too.
#pragma once

#define IDB_LOGO 100
#define IDD_CONFIGURE 101
#define IDD_TEST 102

// frmConfigure: cmdOK is IDOK and cmdCancel IDCANCEL, so that Enter and Escape reach them.
#define IDC_TEST 1001
#define IDC_DEVICE_LABEL 1002
#define IDC_DEVICE 1003
#define IDC_PROTOCOL_LABEL 1004
#define IDC_PROTOCOL 1005
#define IDC_IMAGE 1006

// frmTest: cmdOK is IDOK.
#define IDC_LOG 1101
#define IDC_SEPARATOR 1102
#define IDC_BACKGROUND 1103
