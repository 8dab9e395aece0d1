' Every result belongs to its run, as a VBScript client sees it: a second
' run that prints nothing shows no listing of the first, and a run that
' failed for a wrong root can be retried on the same object. No run file or
' put file may stay in the temporary folder.
Option Explicit

Function Show(text)
    Show = Replace(Replace(Replace(text, vbCr, "\r"), vbLf, "\n"), Chr(12), "\f")
End Function

' The run's own files in the temporary folder (scripts run one at a time).
Function RunFilesInTemp()
    Dim file, count
    count = 0
    For Each file In fso.GetSpecialFolder(2).Files
        If Left(file.Name, 6) = "tmpSAS" Or Left(file.Name, 10) = "tmpPutFile" Then count = count + 1
    Next
    RunFilesInTemp = count
End Function

Dim fso, before, runner, status
Set fso = CreateObject("Scripting.FileSystemObject")
before = RunFilesInTemp()

Set runner = CreateObject("Tamberlo.CodeRunner")
runner.SASCode = "data _null_; file print; put 'The report';"
WScript.Echo "first run: " & runner.Execute & ", listing has the report " & (InStr(runner.Lst, "The report") > 0)
' The data set has gone: the step fails and prints nothing.
runner.SASCode = "set gone;"
WScript.Echo "second run: " & runner.Execute & ", listing " & Show(runner.Lst) & "."
WScript.Echo "log has the error: " & (InStr(runner.Log, vbCrLf & "ERROR 180-322: ") > 0)
runner.Reset

runner.SASCode = "data _null_; file _PUT1; put 'retried'; run;"
On Error Resume Next
status = runner.Execute("C:\no SAS here\")
WScript.Echo "wrong root: " & Err.Number & " / " & Err.Source & " / " & Err.Description
Err.Clear
On Error GoTo 0
WScript.Echo "files after the failed run: " & (RunFilesInTemp() - before)
WScript.Echo "retry: " & runner.Execute & ", put 1 " & Show(runner.PutFile(1))
runner.Reset
WScript.Echo "files left: " & (RunFilesInTemp() - before)
WScript.Echo "done"
