' A time limit for script clients, set in the registry outside the object:
' the user's value, then the machine's when the user has none (0). A run
' past it raises error 1 and keeps what SAS had logged.
Option Explicit
On Error Resume Next

Dim shell, runner, started, status
Set shell = CreateObject("WScript.Shell")
Set runner = CreateObject("Tamberlo.CodeRunner")

Sub RunSleeper(what)
    On Error Resume Next
    runner.Reset
    runner.SASCode = "data _null_; put 'before the pause'; call sleep(30); run;"
    started = Timer
    status = runner.Execute
    WScript.Echo what & ": " & Err.Number & " | " & Err.Source & " | " & Err.Description
    WScript.Echo "  within a few seconds: " & (Timer - started < 15)
    WScript.Echo "  partial log kept: " & (InStr(runner.Log, "before the pause") > 0)
    Err.Clear
End Sub

shell.RegWrite "HKCU\Software\Tamberlo\TimeLimit", 2, "REG_DWORD"
RunSleeper "user's limit"

shell.RegWrite "HKCU\Software\Tamberlo\TimeLimit", 0, "REG_DWORD"
shell.RegWrite "HKLM\Software\Tamberlo\TimeLimit", 3, "REG_DWORD"
RunSleeper "machine's limit"

shell.RegWrite "HKLM\Software\Tamberlo\TimeLimit", 0, "REG_DWORD"
Err.Clear
runner.Reset
runner.SASCode = "data _null_; put 'quick'; run;"
WScript.Echo "without a limit: " & runner.Execute & " " & Err.Number

' Leave no setting behind for later tests.
shell.Run "reg delete HKCU\Software\Tamberlo /v TimeLimit /f", 0, True
shell.Run "reg delete HKLM\Software\Tamberlo /v TimeLimit /f", 0, True
