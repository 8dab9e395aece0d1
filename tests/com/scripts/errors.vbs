' What a VBScript client sees of failures: each is caught with On Error
' Resume Next and printed as Err.Number | Err.Source | Err.Description.
Option Explicit
On Error Resume Next

Function Show(text)
    Show = Replace(Replace(text, vbCr, "\r"), vbLf, "\n")
End Function

Sub Report(what)
    WScript.Echo what & ": " & Err.Number & " | " & Err.Source & " | " & Show(Err.Description)
    Err.Clear
End Sub

Dim runner, status, text
Set runner = CreateObject("Tamberlo.CodeRunner")

runner.SASCode = "missing.sas"
Report "missing program file"
WScript.Echo "program after the failure: [" & runner.SASCode & "]"

' A path ending in .sas with a trailing blank is program text, not a file.
runner.SASCode = "missing.sas "
Report "trailing blank"

' A failed Execute has already declared the program's put files, so these
' two use a program without any.
runner.Reset
runner.SASCode = "%put no put files;"
status = runner.Execute("Z:\no\such\root")
Report "wrong SAS root"
status = runner.Execute("", "no-such.cfg")
Report "wrong config file"

runner.Reset
runner.SASCode = "data _null_; file _PUT1; put 'once'; run;"
text = runner.PutFile(1)
Report "put file before any run"
status = runner.Execute
Report "first run (" & status & ")"

status = "unchanged"
status = runner.Execute()
Report "second run"
WScript.Echo "status after the second run: " & status
WScript.Echo "last status kept: " & (InStr(runner.DebugInfo, "-------------------------" & vbCrLf & "OK" & vbCrLf) > 0)

text = runner.PutFile(2)
Report "index never mentioned"
text = runner.PutFile(0)
Report "index 0"
text = runner.PutFile(-1, True)
Report "index -1"

text = runner.NoSuchMember
WScript.Echo "unknown member: " & Err.Number
Err.Clear
WScript.Echo "done"
