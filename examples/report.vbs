' Runs report.sas (beside this script) through Tamberlo.CodeRunner and shows
' what comes back. Register Tamberlo.dll first; SAS.EXE is found in the
' standard folder on drives C to Z.
Option Explicit
Dim fso, sas, status
Set fso = CreateObject("Scripting.FileSystemObject")
Set sas = CreateObject("Tamberlo.CodeRunner")

sas.SASCode = fso.BuildPath(fso.GetParentFolderName(WScript.ScriptFullName), "report.sas")
status = sas.Execute()
WScript.Echo "== Status: " & status
WScript.Echo "== Listing"
WScript.Echo sas.Lst
WScript.Echo "== Log"
WScript.Echo sas.Log
WScript.Echo "== _PUT1 (" & sas.PutFile(1, True) & ")"
WScript.Echo sas.PutFile(1)
WScript.Echo "== _PUT3"
WScript.Echo sas.PutFile(3)

On Error Resume Next
sas.SASCode = "C:\no\such\program.sas"
WScript.Echo "== An error, as a script sees it"
WScript.Echo Err.Number & " / " & Err.Source & " / " & Err.Description
