; The Quillon installer for 64-bit Windows. scripts/windows-package stages the
; files and writes the two lists included below (what is installed, and what
; the uninstaller removes again), then runs makensis with:
;   /DVERSION=1.04 /DPROGRAM=quillon.exe /DSTAGE=<staged files>
;   /DFILES=<install list> /DUNFILES=<removal list> /DOUTFILE=<setup.exe>
;   /DICON=<quillon.ico> /DSIZE_KB=<installed size> [/DLICENSE=<licence text>]
; The uninstaller removes exactly what the installer put down; the user's data
; folder (%APPDATA%\Quillon: settings, shows, seen list, plugin settings) is
; never touched.
;
; Neither runs while Quillon does: a running quillon.exe (or
; quillon-headless.exe) holds the named mutex "Local\Varnek_Quillon". The
; user is asked to close it; a silent run (/S) ends at once with exit code 3
; and changes nothing. Should files stay behind all the same (in use by
; another program), the uninstaller keeps itself, its Start-menu entry and
; its registry entry, and ends with exit code 4, so that it can be run again.
; The uninstaller runs from a copy of itself in the temporary folder: its
; exit code is that of the copy, seen with  uninstall.exe /S _?=<folder>.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "LogicLib.nsh"

!define APPNAME "Quillon"
!define PUBLISHER "Varnek Software"
!define WEBSITE "https://quillon.varnek.com/"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillon"
!define RUNNING_MUTEX "Local\Varnek_Quillon"
!define EXIT_RUNNING 3
!define EXIT_FILES_LEFT 4

Name "${APPNAME} ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$PROGRAMFILES64\${APPNAME}"
InstallDirRegKey HKLM "Software\${APPNAME}" "InstallDir"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${APPNAME}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${APPNAME} installer"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2009 ${PUBLISHER}"

!ifdef LICENSE
LicenseData "${LICENSE}"
LicenseForceSelection checkbox
Page license
!endif
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Waits until no Quillon runs: asks the user to close it (Retry / Cancel).
; Cancel, and any silent run that finds it running, end the run here with
; exit code EXIT_RUNNING, before anything was changed.
!macro WAIT_FOR_QUILLON_TO_CLOSE un
Function ${un}WaitForQuillonToClose
  Push $0
  ${Do}
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_MUTEX}") p .r0'
    ${If} $0 == 0
      ${Break}
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Quillon is running.$\r$\n$\r$\nPlease close it (File > Exit, or Exit in the menu of its notification-area icon), then choose Retry." /SD IDCANCEL IDRETRY next
    SetErrorLevel ${EXIT_RUNNING}
    Quit
    next:
  ${Loop}
  Pop $0
FunctionEnd
!macroend
!insertmacro WAIT_FOR_QUILLON_TO_CLOSE ""
!insertmacro WAIT_FOR_QUILLON_TO_CLOSE "un."

Function .onInit
  Call WaitForQuillonToClose
FunctionEnd

Function un.onInit
  Call un.WaitForQuillonToClose
FunctionEnd

Section "Quillon"
  ; Started again while the pages were open?
  Call WaitForQuillonToClose
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  !include "${FILES}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\${APPNAME}"
  CreateShortcut "$SMPROGRAMS\${APPNAME}\${APPNAME}.lnk" "$INSTDIR\${PROGRAM}"
  CreateShortcut "$SMPROGRAMS\${APPNAME}\Uninstall ${APPNAME}.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "Software\${APPNAME}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayName" "${APPNAME}"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTKEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTKEY}" "URLInfoAbout" "${WEBSITE}"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayIcon" '"$INSTDIR\${PROGRAM}",0'
  WriteRegDWORD HKLM "${UNINSTKEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Call un.WaitForQuillonToClose
  SetShellVarContext all
  ; The removal list deletes each file and adds those still there to $R9.
  StrCpy $R9 ""
  !include "${UNFILES}"
  ${If} $R9 != ""
    ; Without the uninstaller and its entries these could never be removed.
    DetailPrint "Not removed (in use?):$R9"
    MessageBox MB_OK|MB_ICONSTOP "These files could not be removed:$R9$\r$\n$\r$\nPlease close the programs that use them and run the uninstaller again." /SD IDOK
    SetErrorLevel ${EXIT_FILES_LEFT}
    Quit
  ${EndIf}
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: files the user put there stay, with their folder.
  RMDir "$INSTDIR\plugins"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${APPNAME}\${APPNAME}.lnk"
  Delete "$SMPROGRAMS\${APPNAME}\Uninstall ${APPNAME}.lnk"
  RMDir "$SMPROGRAMS\${APPNAME}"

  DeleteRegKey HKLM "${UNINSTKEY}"
  DeleteRegKey HKLM "Software\${APPNAME}"
SectionEnd
