' A VBScript client of sessions in UTF-8, WLATIN1 and Shift-JIS, set as a
' script client sets them: HKCU\Software\Tamberlo\Encoding, read at every
' Execute. VBScript has no ChrW here, so the non-ASCII texts come from
' encoding.vbs.txt, a UTF-16 file of lines "run|refuse <tab> encoding <tab>
' text": a text that must come back as the same characters, or a program
' that the session cannot hold.
Option Explicit

Sub RunIn(name, text)
    Dim runner, status, log
    Set runner = CreateObject("Tamberlo.CodeRunner")
    runner.SASCode = "data _null_; file print; put '" & text & "';"
    runner.SASCode = "file _put1; put '" & text & "'; run;"
    status = runner.Execute
    log = runner.Log
    WScript.Echo name & ": " & status & ", characters " & Len(text) & _
        ", put file " & (runner.PutFile(1) = text & vbCrLf) & _
        ", log " & (InStr(log, "put '" & text & "';") > 0 And InStr(log, "WARNING") = 0) & _
        ", listing " & (InStr(runner.Lst, text) > 0) & _
        ", program " & (InStr(runner.SASCode, "put '" & text & "'; run;") > 0) & _
        ", report " & (InStr(runner.DebugInfo, "-----" & vbCrLf & text & vbCrLf) > 0)
End Sub

Sub Refused(name, program)
    Dim runner, status
    Set runner = CreateObject("Tamberlo.CodeRunner")
    runner.SASCode = program
    On Error Resume Next
    status = runner.Execute
    WScript.Echo name & ": " & Err.Number & " / " & Err.Description
    Err.Clear
End Sub

Dim fso, shell, key, texts, parts
Set fso = CreateObject("Scripting.FileSystemObject")
Set shell = CreateObject("WScript.Shell")
key = "HKCU\Software\Tamberlo\Encoding"
Set texts = fso.OpenTextFile("encoding.vbs.txt", 1, False, -1)
Do Until texts.AtEndOfStream
    parts = Split(texts.ReadLine, vbTab)
    shell.RegWrite key, parts(1), "REG_SZ"
    If parts(0) = "run" Then RunIn parts(1), parts(2) Else Refused parts(1), parts(2)
Loop
texts.Close

' Empty is not set: the ANSI code page again.
shell.RegWrite key, "", "REG_SZ"
WScript.Echo "done"
