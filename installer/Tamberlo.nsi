; The Windows installer of Tamberlo, built on Linux by makensis:
;   makensis -DVERSION=1.0.0 -DSTAGE=<folder> -DOUTFILE=<setup.exe> Tamberlo.nsi
; STAGE holds what the zip holds: x64\Tamberlo.dll, x86\Tamberlo.dll,
; tamberlo.exe, README.md and examples\. Installs into Program Files\Tamberlo,
; registers the 32-bit build with the 32-bit regsvr32 and, on 64-bit Windows,
; the 64-bit build with the 64-bit one; the uninstaller undoes all of it.
; /S installs and uninstalls silently.
;
; One copy at a time: a newer version goes into the folder of the installed
; one, after that one's uninstaller has run silently; an older one is refused.
; A file in use (a DLL loaded by Excel) is replaced or removed when Windows
; restarts, never left at the old version.
; Exit codes: 0 done; 3010 done, Windows must restart to finish; 2 failed,
; nothing left behind (the uninstaller: files that could not be removed, and
; the entry of the installed programs stays); 1638 a newer version is
; installed; 740 not run by an administrator.

Unicode true
!include "LogicLib.nsh"
!include "x64.nsh"
!include "WordFunc.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tamberlo"

Name "Tamberlo ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tamberlo"
; The folder of the installed version. This reads the 32-bit registry view,
; which holds the entry on 32-bit Windows; on 64-bit Windows .onInit reads
; the 64-bit view, where the entry is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Tamberlo"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Tamberlo ${VERSION} setup"
VIAddVersionKey "LegalCopyright" ""

; The version already installed and its folder, empty when there is none.
Var InstalledVersion
Var InstalledFolder
; 1 when a file of the installation could be neither removed nor scheduled for removal.
Var RemovalFailed

Page directory SkipFolderChoiceOnUpgrade
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

;  A file in use is removed when Windows restarts; one that can be neither
; removed nor scheduled sets RemovalFailed, and then the entry of the
; installed programs stays, so that the uninstaller can be run again.
!macro RemoveFile FILE
  ClearErrors
  Delete /REBOOTOK "${FILE}"
  ${If} ${Errors}
    DetailPrint "${FILE} could not be removed."
    StrCpy $RemovalFailed 1
  ${EndIf}
!macroend

!macro RemoveFolder FOLDER
  ${If} ${RebootFlag}
    RMDir /REBOOTOK "${FOLDER}"
  ${Else}
    RMDir "${FOLDER}"
  ${EndIf}
!macroend

; Everything the installer made, unregistered and removed. Used by the
; uninstaller and by an installation that failed half way.
!macro RemoveInstallation UN
  Function ${UN}RemoveInstallation
    Push $0
    StrCpy $RemovalFailed 0
    ${If} ${RunningX64}
    ${AndIf} ${FileExists} "$INSTDIR\x64\Tamberlo.dll"
      !insertmacro Regsvr32 "/u /s" "$INSTDIR\x64\Tamberlo.dll" 64 $0
      DetailPrint "Unregistering the 64-bit Tamberlo.dll: $0"
    ${EndIf}
    ${If} ${FileExists} "$INSTDIR\x86\Tamberlo.dll"
      !insertmacro Regsvr32 "/u /s" "$INSTDIR\x86\Tamberlo.dll" 32 $0
      DetailPrint "Unregistering the 32-bit Tamberlo.dll: $0"
    ${EndIf}
    !insertmacro RemoveFile "$INSTDIR\x64\Tamberlo.dll"
    !insertmacro RemoveFile "$INSTDIR\x86\Tamberlo.dll"
    !insertmacro RemoveFile "$INSTDIR\tamberlo.exe"
    !insertmacro RemoveFile "$INSTDIR\README.md"
    !insertmacro RemoveFile "$INSTDIR\examples\report.sas"
    !insertmacro RemoveFile "$INSTDIR\examples\report.vbs"
    ; Run in place by the installer of a newer version, the uninstaller
    ; cannot delete itself: that installer writes its own over it.
    Delete "$INSTDIR\Uninstall.exe"
    !insertmacro RemoveFolder "$INSTDIR\x64"
    !insertmacro RemoveFolder "$INSTDIR\x86"
    !insertmacro RemoveFolder "$INSTDIR\examples"
    ; Only when empty: files of the user's own stay, and so does the folder.
    !insertmacro RemoveFolder "$INSTDIR"
    ${If} $RemovalFailed == 0
      DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ${EndIf}
    Pop $0
  FunctionEnd
!macroend
!insertmacro RemoveInstallation ""
!insertmacro RemoveInstallation "un."

; Installing for every user writes to Program Files and HKLM: a standard
; user is told so before anything is written.
!macro RefuseStandardUser
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "Tamberlo is installed for every user of this computer and needs an administrator's rights. Run it again as an administrator." /SD IDOK
    SetErrorLevel 740
    Quit
  ${EndIf}
!macroend

Function .onInit
  !insertmacro RefuseStandardUser
  ; The entry of the installed programs lives in the system's own view.
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  ReadRegStr $InstalledVersion HKLM "${UNINSTALL_KEY}" "DisplayVersion"
  ReadRegStr $InstalledFolder HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $InstalledVersion == ""
    Return
  ${EndIf}
  ${VersionCompare} "$InstalledVersion" "${VERSION}" $0
  ${If} $0 == 1
    MessageBox MB_OK|MB_ICONSTOP "Tamberlo $InstalledVersion is installed, which is newer than this installer's ${VERSION}. To go back to ${VERSION}, uninstall Tamberlo $InstalledVersion first." /SD IDOK
    SetErrorLevel 1638
    Quit
  ${EndIf}
  ; A newer version (or the same again) replaces the installed one in its folder.
  ${If} $InstalledFolder != ""
    StrCpy $INSTDIR $InstalledFolder
  ${EndIf}
FunctionEnd

Function un.onInit
  !insertmacro RefuseStandardUser
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

Function SkipFolderChoiceOnUpgrade
  ${If} $InstalledVersion != ""
    Abort
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

; The installed version's uninstaller, run silently in place (_?=, so that
; ExecWait waits for it). If it fails, nothing of this version is written.
Function RemoveInstalledVersion
  ${If} $InstalledVersion == ""
  ${OrIfNot} ${FileExists} "$InstalledFolder\Uninstall.exe"
    Return
  ${EndIf}
  DetailPrint "Uninstalling Tamberlo $InstalledVersion from $InstalledFolder"
  ClearErrors
  ExecWait '"$InstalledFolder\Uninstall.exe" /S _?=$InstalledFolder' $0
  ${If} ${Errors}
    StrCpy $0 "not started"
  ${EndIf}
  ${If} $0 == 3010
    SetRebootFlag true
  ${ElseIf} $0 != 0
    MessageBox MB_OK|MB_ICONSTOP "Tamberlo $InstalledVersion could not be uninstalled (its uninstaller: $0); nothing of ${VERSION} was installed." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

; Writes a file beside its target, then moves it into place: a target in
; use (a DLL a running program loaded) is replaced when Windows restarts.
!macro InstallFile SOURCE TARGET
  File "/oname=${TARGET}.new" "${SOURCE}"
  Delete "${TARGET}"
  ClearErrors
  Rename /REBOOTOK "${TARGET}.new" "${TARGET}"
  ${If} ${Errors}
    !insertmacro FailInstallation "${TARGET} could not be replaced."
  ${EndIf}
!macroend

Section "Tamberlo"
  Call RemoveInstalledVersion
  CreateDirectory "$INSTDIR\examples"
  CreateDirectory "$INSTDIR\x86"
  CreateDirectory "$INSTDIR\x64"
  !insertmacro InstallFile "${STAGE}\tamberlo.exe" "$INSTDIR\tamberlo.exe"
  !insertmacro InstallFile "${STAGE}\README.md" "$INSTDIR\README.md"
  !insertmacro InstallFile "${STAGE}\examples\report.sas" "$INSTDIR\examples\report.sas"
  !insertmacro InstallFile "${STAGE}\examples\report.vbs" "$INSTDIR\examples\report.vbs"
  !insertmacro InstallFile "${STAGE}\x86\Tamberlo.dll" "$INSTDIR\x86\Tamberlo.dll"
  !insertmacro InstallFile "${STAGE}\x64\Tamberlo.dll" "$INSTDIR\x64\Tamberlo.dll"
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

  ${If} ${RebootFlag}
    MessageBox MB_OK|MB_ICONINFORMATION "Tamberlo ${VERSION} is installed. A file of it was in use (Tamberlo.dll, loaded by a running program) and is replaced when Windows restarts: restart Windows to finish." /SD IDOK
    SetErrorLevel 3010
  ${EndIf}
SectionEnd

Section "Uninstall"
  Call un.RemoveInstallation
  ${If} $RemovalFailed == 1
    MessageBox MB_OK|MB_ICONSTOP "Some files of Tamberlo in $INSTDIR could not be removed; Tamberlo stays in the installed programs. Close the programs that use it and uninstall again." /SD IDOK
    SetErrorLevel 2
  ${ElseIf} ${RebootFlag}
    MessageBox MB_OK|MB_ICONINFORMATION "Tamberlo is uninstalled. Files of it that are in use are removed when Windows restarts." /SD IDOK
    SetErrorLevel 3010
  ${EndIf}
SectionEnd
