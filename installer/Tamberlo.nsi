; The Windows installer of Tamberlo, built on Linux by makensis:
;   makensis -DVERSION=1.0.0 -DSTAGE=<folder> -DOUTFILE=<setup.exe> Tamberlo.nsi
; STAGE holds what the zip holds: x64\Tamberlo.dll, x86\Tamberlo.dll,
; tamberlo.exe, README.md and examples\. Installs into Program Files\Tamberlo,
; registers the 32-bit build with the 32-bit regsvr32 and, on 64-bit Windows,
; the 64-bit build with the 64-bit one; the uninstaller undoes all of it.
; /S installs and uninstalls silently.

Unicode true
!include "LogicLib.nsh"
!include "x64.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tamberlo"

Name "Tamberlo ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tamberlo"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Tamberlo"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Tamberlo ${VERSION} setup"
VIAddVersionKey "LegalCopyright" ""

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; regsvr32 of the DLL's own bitness: a 32-bit installer reaches the 64-bit
; system folder only with the file-system redirection off.
!macro Regsvr32 ARGS DLL BITS RESULT
  ${If} ${BITS} == 64
    ${DisableX64FSRedirection}
  ${EndIf}
  ClearErrors
  ExecWait '"$SYSDIR\regsvr32.exe" ${ARGS} "${DLL}"' ${RESULT}
  ${If} ${Errors}
    StrCpy ${RESULT} "not started"
  ${EndIf}
  ${If} ${BITS} == 64
    ${EnableX64FSRedirection}
  ${EndIf}
!macroend

; Everything the installer made, unregistered and removed. Used by the
; uninstaller and by an installation that failed half way.
!macro RemoveInstallation UN
  Function ${UN}RemoveInstallation
    Push $0
    ${If} ${RunningX64}
    ${AndIf} ${FileExists} "$INSTDIR\x64\Tamberlo.dll"
      !insertmacro Regsvr32 "/u /s" "$INSTDIR\x64\Tamberlo.dll" 64 $0
      DetailPrint "Unregistering the 64-bit Tamberlo.dll: $0"
    ${EndIf}
    ${If} ${FileExists} "$INSTDIR\x86\Tamberlo.dll"
      !insertmacro Regsvr32 "/u /s" "$INSTDIR\x86\Tamberlo.dll" 32 $0
      DetailPrint "Unregistering the 32-bit Tamberlo.dll: $0"
    ${EndIf}
    Delete "$INSTDIR\x64\Tamberlo.dll"
    Delete "$INSTDIR\x86\Tamberlo.dll"
    Delete "$INSTDIR\tamberlo.exe"
    Delete "$INSTDIR\README.md"
    Delete "$INSTDIR\examples\report.sas"
    Delete "$INSTDIR\examples\report.vbs"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR\x64"
    RMDir "$INSTDIR\x86"
    RMDir "$INSTDIR\examples"
    ; Only when empty: files of the user's own stay, and so does the folder.
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    Pop $0
  FunctionEnd
!macroend
!insertmacro RemoveInstallation ""
!insertmacro RemoveInstallation "un."

Function .onInit
  ; The entry of the installed programs lives in the system's own view.
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

Function un.onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

; Undoes a half-made installation and fails with exit code 2.
!macro FailInstallation MESSAGE
  DetailPrint "${MESSAGE}"
  ; Out of the folder, which is the installer's working folder, so that it can go.
  SetOutPath "$TEMP"
  Call RemoveInstallation
  MessageBox MB_OK|MB_ICONSTOP "${MESSAGE}" /SD IDOK
  SetErrorLevel 2
  Quit
!macroend

Section "Tamberlo"
  SetOutPath "$INSTDIR"
  File "${STAGE}\tamberlo.exe"
  File "${STAGE}\README.md"
  SetOutPath "$INSTDIR\examples"
  File "${STAGE}\examples\report.sas"
  File "${STAGE}\examples\report.vbs"
  SetOutPath "$INSTDIR\x86"
  File "${STAGE}\x86\Tamberlo.dll"
  SetOutPath "$INSTDIR\x64"
  File "${STAGE}\x64\Tamberlo.dll"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  !insertmacro Regsvr32 "/s" "$INSTDIR\x86\Tamberlo.dll" 32 $0
  ${If} $0 != 0
    !insertmacro FailInstallation "The 32-bit Tamberlo.dll could not be registered (regsvr32: $0)."
  ${EndIf}
  ${If} ${RunningX64}
    !insertmacro Regsvr32 "/s" "$INSTDIR\x64\Tamberlo.dll" 64 $0
    ${If} $0 != 0
      !insertmacro FailInstallation "The 64-bit Tamberlo.dll could not be registered (regsvr32: $0)."
    ${EndIf}
  ${EndIf}

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tamberlo"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tamberlo"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Call un.RemoveInstallation
SectionEnd
