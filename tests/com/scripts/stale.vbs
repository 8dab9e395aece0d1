' Every result belongs to its run, as a VBScript client sees it: a second
' run that prints nothing shows no listing of the first, a run in which SAS
' writes no log shows no log, and a run that failed for a wrong root can be
' retried on the same object. All in a temporary folder of the script's own,
' which must be empty at the end.
Option Explicit

Function Show(text)
    Show = Replace(Replace(Replace(text, vbCr, "\r"), vbLf, "\n"), Chr(12), "\f")
End Function

Dim fso, shell, env, temp, runner, status
Set fso = CreateObject("Scripting.FileSystemObject")
Set shell = CreateObject("WScript.Shell")
Set env = shell.Environment("Process")
temp = fso.BuildPath(fso.GetSpecialFolder(2), "stale-" & fso.GetTempName())
fso.CreateFolder temp
env("TMP") = temp
env("TEMP") = temp

Set runner = CreateObject("Tamberlo.CodeRunner")
runner.SASCode = "data _null_; file print; put 'The report';"
WScript.Echo "first run: " & runner.Execute & ", listing has the report " & (InStr(runner.Lst, "The report") > 0)
' The data set has gone: the step fails and prints nothing.
runner.SASCode = "set gone;"
WScript.Echo "second run: " & runner.Execute & ", listing " & Show(runner.Lst) & "."
WScript.Echo "log has the error: " & (InStr(runner.Log, vbCrLf & "ERROR 180-322: ") > 0)

env("TAMBERLO_STANDIN_NO_LOG") = "1"
WScript.Echo "run without a log: " & runner.Execute & ", log " & Show(runner.Log) & "."
env.Remove "TAMBERLO_STANDIN_NO_LOG"
runner.Reset

runner.SASCode = "data _null_; file _PUT1; put 'retried'; run;"
On Error Resume Next
status = runner.Execute("C:\no SAS here\")
WScript.Echo "wrong root: " & Err.Number & " / " & Err.Source & " / " & Err.Description
Err.Clear
On Error GoTo 0
WScript.Echo "files after the failed run: " & fso.GetFolder(temp).Files.Count
WScript.Echo "retry: " & runner.Execute & ", put 1 " & Show(runner.PutFile(1))
runner.Reset
WScript.Echo "files left: " & fso.GetFolder(temp).Files.Count
fso.DeleteFolder temp
WScript.Echo "done"
