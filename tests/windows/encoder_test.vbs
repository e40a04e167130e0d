' TarsinRF.Encoder as a Windows script host sees it: created by its ProgID, called late-bound,
' by-ref variables written back, failures in Err, LastError live, the log in the user's
' application-data folder; with the virtual readers, MIFARE and DESFire cards encoded and the
' configuration dialog answered from outside. Run by run-vbscript.sh after regsvr32; prints one
' line per failed check and, last, "passed: N checks" when none failed (cscript under Wine says
' nothing and exits 0 on a syntax error or an untrapped run-time error, so the runner looks for
' that line).
Option Explicit

Dim failures, checks
failures = 0
checks = 0

Sub Check(ok, what)
  checks = checks + 1
  If Not ok Then
    failures = failures + 1
    WScript.Echo "FAIL: " & what
  End If
End Sub

Sub CheckEqual(actual, expected, what)
  Check actual = expected, what & ": got [" & actual & "], expected [" & expected & "]"
End Sub

Const EncoderClosed = &H90010F01
Const sceCanceled = 1
Const sceError = 2
Const sceClosed = 1
Const TransportKey = "FFFFFFFFFFFF"
Const KeyA = 1
Dim enc, lastError, result, number, description, source
Set enc = CreateObject("TarsinRF.Encoder")

' Parameters: the default text, then a one-line text; names are found without regard to case.
Check InStr(enc.Parameters, "Device=<unknown>" & vbCrLf & "Protocol=1") > 0, "default parameters"
enc.PARAMETERS = "device=Reader A;protocol=2;open_mode=2;force_reconnect=1"
CheckEqual enc.parameters, "Encoding capabilities=Mifare Classic, Mifare Ultralight, Mifare DESFire" _
  & vbCrLf & "Device=Reader A" & vbCrLf & "Protocol=2" & vbCrLf & "Force_Reconnect=1" _
  & vbCrLf & "Open_Mode=2", "parameters read back"

' LastError is one live object: what a later call records shows through a reference kept earlier.
Set lastError = enc.LastError
Check lastError Is enc.LastError, "LastError hands out the same object"
CheckEqual enc.EncoderState, sceClosed, "EncoderState before OpenEncoder"
CheckEqual lastError.ComFunction, "EncoderState", "ComFunction after EncoderState"

' ReaderType while closed is the one member that fails towards the host.
On Error Resume Next
result = enc.ReaderType
number = Err.Number : description = Err.Description : source = Err.Source
On Error GoTo 0
CheckEqual number, EncoderClosed, "Err.Number of ReaderType while closed"
CheckEqual description, "Encoder is closed", "Err.Description of ReaderType while closed"
CheckEqual source, "TarsinRF.Encoder", "Err.Source of ReaderType while closed"
CheckEqual lastError.Number, EncoderClosed, "LastError.Number after ReaderType"
CheckEqual lastError.Description, "Encoder is closed", "LastError.Description after ReaderType"
CheckEqual lastError.ComFunction, "ReaderType", "LastError.ComFunction after ReaderType"
CheckEqual lastError.LastDllError, 0, "LastError.LastDllError after ReaderType"

' The host may write the fields; a text for a Long is coerced, a word is a type mismatch.
lastError.RdrRetCode = 9000
CheckEqual lastError.RdrRetCode, "9000", "a number written to RdrRetCode reads as text"
lastError.Number = "&H10"
CheckEqual enc.LastError.Number, 16, "a hex text written to Number"
On Error Resume Next
lastError.Number = "sixteen"
number = Err.Number
On Error GoTo 0
CheckEqual number, 13, "Err.Number of a word written to Number"
' Given for a text, the object gives its default value, Number.
CheckEqual enc.GetResponseText(lastError), enc.GetResponseText("16"), "LastError as an argument"

' By-ref arguments: a variable passed to an output parameter is written back, with its type.
Dim serial, response, retCode, serialNumber, checkSum, info
serial = "junk"
CheckEqual enc.ReadSerialNumber(serial), sceError, "ReadSerialNumber while closed"
CheckEqual serial, "", "SerialNumber written back"
CheckEqual lastError.ComFunction, "ReadSerialNumber", "ComFunction after ReadSerialNumber"
CheckEqual lastError.Number, EncoderClosed, "Number after ReadSerialNumber"
serial = "kept"
result = enc.ReadSerialNumber((serial))
CheckEqual serial, "kept", "a parenthesised argument goes by value"
serialNumber = Empty : checkSum = "7" : info = "z"
result = enc.MifareReadManufacturerCode("FFFFFFFFFFFF", 0, serialNumber, checkSum, info)
CheckEqual TypeName(serialNumber) & " " & TypeName(checkSum) & " " & TypeName(info), _
  "Long Byte String", "types of the written-back outputs"
CheckEqual serialNumber & " " & checkSum & " [" & info & "]", "0 0 []", "outputs while closed"
response = "x" : retCode = "y"
CheckEqual enc.EscapeExt("FFCA000000", response, retCode), sceError, "EscapeExt while closed"
CheckEqual response, "", "Response written back"

' The late binding's own errors, as the script host reports them.
On Error Resume Next
result = enc.OpenEncoder("zero")
CheckEqual Err.Number, 13, "a word for a Long argument"
Err.Clear
result = enc.OpenEncoder(1E20)
CheckEqual Err.Number, 6, "a number too large for a Long argument"
Err.Clear
result = enc.ReadSerialNumber()
CheckEqual Err.Number, 450, "a required argument left out"
Err.Clear
result = enc.NoSuchMember
CheckEqual Err.Number, 438, "an unknown member"
Err.Clear
enc.GetInformation = "x"
CheckEqual Err.Number, 438, "a function given a value"
Err.Clear
result = enc.OpenEncoder(Nothing)
CheckEqual Err.Number, 13, "Nothing for a Long argument"
Err.Clear
Dim square(1, 1)
result = enc.OpenEncoder(square)
CheckEqual Err.Number, 13, "an array of two dimensions for a Long argument"
Err.Clear
On Error GoTo 0

' NUL characters cross in both directions.
enc.Parameters = "device=A" & Chr(0) & "B"
Check InStr(enc.Parameters, "Device=A" & Chr(0) & "B" & vbCrLf) > 0, "a NUL inside a text"

' An optional argument left out, and given.
CheckEqual enc.GetResponseText("9000"), "[OK]  Command successfully executed.", "GetResponseText"
Check Len(enc.GetResponseText("6A82", "Caller")) > 0, "GetResponseText with its optional caller"
Dim fields
fields = Split(enc.GetInformation(), "|")
CheckEqual UBound(fields) & " " & fields(1), "3 Tarsin RF", "GetInformation"

' The log: "Quillon\Nemora\Tarsin RF.log" in the application-data folder, which the component
' does not create (the calls above had nowhere to write). A new object writes its first lines at
' level 0, in the system code page. (Wine's ExpandEnvironmentStrings keeps the closing NUL, hence
' the process environment.)
Dim shell, files, folder, logPath, message, logText, lines, pattern
Set shell = CreateObject("WScript.Shell")
Set files = CreateObject("Scripting.FileSystemObject")
folder = shell.Environment("PROCESS").Item("APPDATA") & "\Quillon"
If Not files.FolderExists(folder) Then files.CreateFolder folder
folder = folder & "\Nemora"
Check Not files.FolderExists(folder), "no log folder made by the component"
If Not files.FolderExists(folder) Then files.CreateFolder folder
logPath = folder & "\Tarsin RF.log"
' Read back in the system code page (FileSystemObject's ANSI): UTF-8 would show two characters.
message = "encoder_test " & Timer & " caf" & Chr(233)
Set enc = CreateObject("TarsinRF.Encoder")
enc.WriteLog message
Set enc = Nothing
Check files.FileExists(logPath), "log file at " & logPath
If files.FileExists(logPath) Then
  logText = files.OpenTextFile(logPath).ReadAll()
  Set pattern = New RegExp
  pattern.Pattern = "(^|\r\n)\d{4}-\d\d-\d\d \d\d:\d\d:\d\d   " & message & "\r\n"
  Check pattern.Test(logText), "log line of WriteLog, level 0, ended by CR LF"
  pattern.Pattern = "   --> Constructor\r\n"
  Check pattern.Test(logText), "constructor's entry line"
End If

' A card in a virtual reader, when TARSIN_RF_TEST_READER names one that holds a blank MIFARE
' Classic 1K with transport keys (TARSIN_RF_TEST_UID its UID): open, read the UID, write and read
' back a data block and a value block, close.
Dim environment, readerName, uid, block, readBack
Set environment = shell.Environment("PROCESS")
readerName = environment.Item("TARSIN_RF_TEST_READER")
If readerName = "" Then
  WScript.Echo "no virtual reader named: the card part is left out"
Else
  Set enc = CreateObject("TarsinRF.Encoder")
  Set lastError = enc.LastError
  enc.Parameters = "device=" & readerName & ";protocol=2;open_mode=2"
  CheckEqual enc.OpenEncoder(0), 0, "OpenEncoder on " & readerName & ": " & lastError.Description
  ' Found in the imported table, which the runner puts in the 32-bit registry view (asked before
  ' EncoderState, which forgets the card's identification).
  CheckEqual enc.CardType, 17, "CardType of a MIFARE Classic 1K"
  CheckEqual enc.EncoderState, 3, "EncoderState with a card in the field"
  Check InStr(enc.ReaderType, "Device name: ") = 1, "ReaderType of an open reader"
  uid = ""
  CheckEqual enc.ReadSerialNumber(uid), 0, "ReadSerialNumber"
  CheckEqual uid, environment.Item("TARSIN_RF_TEST_UID"), "UID written back"
  block = "54415253494E20524620484F4C444552"
  CheckEqual enc.MifareWriteDataBloc(4, TransportKey, KeyA, block), 0, "MifareWriteDataBloc 4"
  readBack = ""
  CheckEqual enc.MifareReadDataBloc(4, TransportKey, KeyA, readBack), 0, "MifareReadDataBloc 4"
  CheckEqual readBack, block, "block 4 read back"
  CheckEqual enc.MifareWriteValueBloc(5, TransportKey, KeyA, 1500), 0, "MifareWriteValueBloc 5"
  readBack = ""
  CheckEqual enc.MifareReadDataBloc(5, TransportKey, KeyA, readBack), 0, "MifareReadDataBloc 5"
  ' 1500, its complement and 1500 again, least significant byte first, then "FF00FF00".
  CheckEqual readBack, "DC05000023FAFFFFDC050000FF00FF00", "value block 5 read back"
  CheckEqual lastError.Number & " " & lastError.ComFunction, "0 MifareReadDataBloc", _
    "LastError after a read"
  CheckEqual enc.CloseEncoder, 0, "CloseEncoder"
  CheckEqual enc.EncoderState, sceClosed, "EncoderState after CloseEncoder"

  ' The blank DESFire EV1 4K of TARSIN_RF_TEST_DESFIRE_READER: the card level with the default
  ' DES key, an application made and listed, the version read into a Long and a Byte array.
  Dim applications, version
  enc.Parameters = "device=" & environment.Item("TARSIN_RF_TEST_DESFIRE_READER") _
    & ";protocol=2;open_mode=2"
  CheckEqual enc.OpenEncoder(0), 0, "OpenEncoder on the DESFire card: " & lastError.Description
  uid = ""
  CheckEqual enc.ReadSerialNumber(uid), 0, "ReadSerialNumber of the DESFire card"
  CheckEqual enc.DESFireSelectRoot("0000000000000000"), 0, "DESFireSelectRoot: " _
    & lastError.Description
  CheckEqual enc.DESFireSelectRoot("00000000000000000000000000000000"), 0, _
    "DESFireSelectRoot, 2-key 3DES"
  CheckEqual enc.DESFireCreateApplication("12 34 56", 15, 2), 0, "DESFireCreateApplication"
  applications = "x"
  CheckEqual enc.DESFireGetApplications(applications), 0, "DESFireGetApplications"
  CheckEqual applications, "123456", "applications written back"
  CheckEqual enc.DESFireSelectApplication("123456", 1, "0000000000000000"), 0, _
    "DESFireSelectApplication, key 1"
  version = Empty
  CheckEqual enc.DESFireGetVersion(-1, version), 0, "DESFireGetVersion, storage size"
  CheckEqual TypeName(version) & " " & version, "Long 4096", "storage size written back"
  ' Wine's VBScript reads nothing out of a Byte array but its type.
  CheckEqual enc.DESFireGetVersion(14, version), 0, "DESFireGetVersion, UID"
  CheckEqual VarType(version), vbArray + vbByte, "UID written back as a Byte array"
  CheckEqual enc.DESFireGetVersion(20, version), 0, "DESFireGetVersion, last UID byte"
  CheckEqual TypeName(version) & " " & Hex(version), "Byte " & Right(uid, 2), "last UID byte"
  CheckEqual enc.CloseEncoder, 0, "CloseEncoder of the DESFire card"
End If

' The configuration dialog, when TARSIN_RF_TEST_DIALOGS says that an operator answers it
' (tests_ui_win32 --operator): it chooses reader 1 and T=0 both times, cancels the English
' dialog and confirms the French one.
Dim before
If environment.Item("TARSIN_RF_TEST_DIALOGS") = "" Then
  WScript.Echo "no operator for the configuration dialog: the dialog part is left out"
Else
  Set enc = CreateObject("TarsinRF.Encoder")
  Set lastError = enc.LastError
  enc.Parameters = "device=tarsin virtual reader 0;protocol=2;open_mode=2"
  before = enc.Parameters
  CheckEqual enc.Configure(""), sceCanceled, "Configure cancelled"
  CheckEqual lastError.Number & " " & lastError.ComFunction, "0 Configure", "LastError after Cancel"
  CheckEqual enc.Parameters, before, "Parameters after Cancel"
  CheckEqual enc.Configure("francais"), 0, "Configure confirmed: " & lastError.Description
  CheckEqual enc.Parameters, Replace(Replace(before, "tarsin virtual reader 0", _
    "Tarsin Virtual Reader 1"), "Protocol=2", "Protocol=1"), "Parameters after OK"
End If

If failures = 0 Then
  WScript.Echo "passed: " & checks & " checks"
Else
  WScript.Echo failures & " of " & checks & " checks failed"
End If
WScript.Quit failures
