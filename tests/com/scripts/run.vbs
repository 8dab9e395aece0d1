' A VBScript client doing what a user does: program text and a stored
' program, a run against the installed stand-in found by the default search,
' then log, listing, put files, the debug report and Reset. Every value is
' printed on one line, its line breaks made visible.
Option Explicit

Function Show(text)
    Show = Replace(Replace(Replace(text, vbCr, "\r"), vbLf, "\n"), Chr(12), "\f")
End Function

' A temporary file name with its time stamp and random digits left out.
Function Shape(name)
    Dim pattern
    Set pattern = New RegExp
    pattern.Pattern = "_\d+_\d+\.put$"
    Shape = pattern.Replace(name, "_<stamp>_<random>.put")
End Function

Dim fso, runner, fresh, status, path, report
Set fso = CreateObject("Scripting.FileSystemObject")
Set runner = CreateObject("Tamberlo.CodeRunner")

fresh = runner.DebugInfo
WScript.Echo "fresh report: " & Show(fresh)
WScript.Echo "switches: " & runner.CleanOutput & " " & runner.SafeFormChar

runner.SASCode = "%put hello from vbscript;"
runner.SASCode = "hello.sas"
runner.SASCode = "title 'Script listing';"
runner.SASCode = "data _null_; file print; put 'listed line'; run;"
WScript.Echo "program: " & Show(runner.SASCode)

status = runner.Execute
WScript.Echo "status: " & status
WScript.Echo "log has the put line: " & (InStr(runner.Log, vbCrLf & "hello from vbscript" & vbCrLf) > 0)
WScript.Echo "listing starts: " & Show(Left(runner.Lst, 3))
WScript.Echo "listing has the line: " & (InStr(runner.Lst, "listed line") > 0)
WScript.Echo "put 1: " & Show(runner.PutFile(1))
WScript.Echo "put 2: " & Show(runner.PutFile(2, False))
path = runner.PutFile(2, True)
WScript.Echo "put 2 path: " & Shape(fso.GetFileName(path)) & ", exists " & fso.FileExists(path)

runner.CleanOutput = False
WScript.Echo "raw listing starts: " & Show(Left(runner.Lst, 1))
report = runner.DebugInfo
WScript.Echo "report head: " & Show(Left(report, InStr(report, "Log" & vbCrLf) - 1))
WScript.Echo "report tail: " & Show(Mid(report, InStr(report, "CleanOutput" & vbCrLf)))

runner.Reset
WScript.Echo "after Reset: " & (runner.DebugInfo = fresh) & ", put file exists " & fso.FileExists(path)
WScript.Echo "done"
