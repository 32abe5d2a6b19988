; The Velmora installer, built by scripts/lib/release.sh (velmora_make_installer) with makensis:
;
;   makensis -DVERSION=<a.b.c.d> -DFILES=<list.nsh> -DOUTFILE=<setup.exe> Velmora.nsi
;
; FILES defines the macros VelmoraInstallFiles and VelmoraUninstallFiles for the files of one
; installation folder (the one mkinstall.exe writes). For a signed uninstaller, two passes:
; -DUNINSTALLER_OUT=<file> writes the uninstaller to that file (the installer of this pass,
; which holds none of the installation's files, is of no use); once the file is signed,
; -DUNINSTALLER_IN=<file> builds the installer around it.
;
; Installs for the current user only, without elevation, into %LOCALAPPDATA%\Programs\Velmora:
; a folder the user can write, as the launcher must (it renames the main program's file and
; extracts it again there). The uninstaller removes what was installed and the files the
; launcher itself creates in the folder, then the folder when nothing else is left in it; it
; never touches anything outside the folder, such as the run log and crash reports in
; %LOCALAPPDATA%\Velmora.
;
; Neither changes anything while Velmora runs (a launcher in this logon session, or any program
; started from the installation folder): the launcher would rename the main program over
; freshly installed files at its exit, and Windows keeps running programs from being deleted,
; so the result would be half an upgrade or half an uninstall.
; Interactive, they ask the user to close it (Retry or Cancel); silent (/S), they end with
; exit code 2; the user's Cancel ends with exit code 1; either way nothing has changed. While
; they work they hold the launcher's single-instance guard, so a launcher started meanwhile
; is turned away.
Unicode true
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma
; The installed files carry the time of installation, and the installer no build times.
SetDateSave off

!ifndef VERSION | FILES | OUTFILE
  !error "VERSION, FILES and OUTFILE must be defined (see the head of Velmora.nsi)"
!endif

!define PRODUCT "Velmora"
!define UNINSTALLER "uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; The launcher's single-instance guard, a mutex per logon session, owned while it runs.
!define LAUNCHER_GUARD "DEZ_App_Mutex"
; The main program's file under its runnable name and its between-runs name.
!define MAIN_PROGRAM "Kestrun.exe"
!define MAIN_PROGRAM_CACHE "kstcache"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
ShowInstDetails hide
ShowUninstDetails hide

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Velmora.exe"
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "CompanyName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "© ${PRODUCT}"

!ifdef UNINSTALLER_OUT
  !uninstfinalize 'cp -- "%1" "${UNINSTALLER_OUT}"'
!else ifdef UNINSTALLER_IN
  !uninstfinalize 'cp -- "${UNINSTALLER_IN}" "%1"'
!endif

!include "${FILES}"

Function .onInit
  SetShellVarContext current
FunctionEnd

Function un.onInit
  SetShellVarContext current
  ; A copy started by an uninstaller that ran in place, only to remove that uninstaller's own
  ; file (and the folder, then empty) once it has ended.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AFTER=" $0
  ${IfNot} ${Errors}
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r0) p .r0'   ; SYNCHRONIZE
    ${If} $0 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p r0, i 60000)'
      System::Call 'kernel32::CloseHandle(p r0)'
    ${EndIf}
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir "$INSTDIR"
    Quit
  ${EndIf}
FunctionEnd

; The launcher's guard while this program works; 0 when not held.
Var Guard

!macro VelmoraRunningChecks un
; $R0: the path of a program running from $INSTDIR, or "" when none runs. Every program of the
; folder counts: the launcher, the main program (also when its launcher is gone), the
; updater and the service window, whose files Windows would not let go. Not counted: this
; program, and the uninstaller there, which may still be ending after handing over to its
; copy in the temporary folder.
Function ${un}FindProgramInFolder
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  Push $6
  Push $7
  StrCpy $R0 ""
  System::Call 'kernel32::GetCurrentProcessId() i .r7'
  ; Compared as long paths: a folder given in its short form names the same files.
  System::Call 'kernel32::GetLongPathNameW(w "$INSTDIR", w .r5, i ${NSIS_MAX_STRLEN}) i .r0'
  ${If} $0 = 0
    StrCpy $5 $INSTDIR
  ${EndIf}
  StrCpy $5 "$5\"
  StrLen $6 $5
  System::Call 'kernel32::CreateToolhelp32Snapshot(i 2, i 0) p .r0'   ; TH32CS_SNAPPROCESS
  ${If} $0 P<> -1
    ; PROCESSENTRY32W: dwSize, eight more 32-bit fields, the file name (260 wide characters).
    System::Call '*(i 556, i, i, i, i, i, i, i, i, &w260) p .r1'
    System::Call 'kernel32::Process32FirstW(p r0, p r1) i .r2'
    ${DoWhile} $2 <> 0
      System::Call '*$1(i, i, i .r3)'
      ${If} $3 <> $7
        ; PROCESS_QUERY_LIMITED_INFORMATION
        System::Call 'kernel32::OpenProcess(i 0x1000, i 0, i r3) p .r4'
        ${If} $4 P<> 0
          System::Call 'kernel32::QueryFullProcessImageNameW(p r4, i 0, w .r3, *i ${NSIS_MAX_STRLEN}) i .r2'
          System::Call 'kernel32::CloseHandle(p r4)'
          ${If} $2 <> 0
            System::Call 'kernel32::GetLongPathNameW(w r3, w .r4, i ${NSIS_MAX_STRLEN}) i .r2'
            ${IfThen} $2 <> 0 ${|} StrCpy $3 $4 ${|}
            StrCpy $4 $3 $6
            ${If} $4 == $5
            ${AndIf} $3 != "$5${UNINSTALLER}"
              StrCpy $R0 $3
              ${Break}
            ${EndIf}
          ${EndIf}
        ${EndIf}
      ${EndIf}
      System::Call 'kernel32::Process32NextW(p r0, p r1) i .r2'
    ${Loop}
    System::Free $1
    System::Call 'kernel32::CloseHandle(p r0)'
  ${EndIf}
  Pop $7
  Pop $6
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; Takes the launcher's guard into $Guard, or leaves $Guard 0 when a launcher owns it. A guard
; that exists but that nobody owns (its last launcher is gone) is taken, as the launcher does.
Function ${un}TakeLauncherGuard
  Push $0
  Push $1
  StrCpy $Guard 0
  System::Call 'kernel32::CreateMutexW(p 0, i 1, w "${LAUNCHER_GUARD}") p .r0 ?e'
  Pop $1
  ${If} $0 P<> 0
    ${If} $1 = 183   ; ERROR_ALREADY_EXISTS: ours only when nobody owns it
      System::Call 'kernel32::WaitForSingleObject(p r0, i 0) i .r1'
      ${If} $1 = 0
      ${OrIf} $1 = 0x80   ; abandoned by a launcher that ended without releasing it
        StrCpy $Guard $0
      ${Else}
        System::Call 'kernel32::CloseHandle(p r0)'
      ${EndIf}
    ${Else}
      StrCpy $Guard $0
    ${EndIf}
  ${ElseIf} $1 <> 5
    ; No guard to hold (the name is taken by another kind of object, so no launcher can
    ; start either): whether a program runs is left to the look at the processes.
    StrCpy $Guard -1
  ${EndIf}
  ; ERROR_ACCESS_DENIED: the guard of a launcher running with other rights (as administrator).
  Pop $1
  Pop $0
FunctionEnd

Function ${un}ReleaseLauncherGuard
  ${If} $Guard P<> 0
  ${AndIf} $Guard P<> -1
    System::Call 'kernel32::ReleaseMutex(p $Guard)'
    System::Call 'kernel32::CloseHandle(p $Guard)'
  ${EndIf}
  StrCpy $Guard 0
FunctionEnd

; Returns once no program of the installation runs, holding the launcher's guard; otherwise
; asks the user to close it (silent: refuses at once) and ends this program, nothing changed.
; Called first in the section, on the thread that later releases the guard.
Function ${un}WaitUntilNotRunning
  ${Do}
    Call ${un}TakeLauncherGuard
    StrCpy $R0 ""
    ${If} $Guard P<> 0
      Call ${un}FindProgramInFolder
      ${If} $R0 == ""
        Return
      ${EndIf}
      Call ${un}ReleaseLauncherGuard
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} 正在运行。$\r$\n$\r$\n请先退出 ${PRODUCT}，然后点击“重试”；点击“取消”退出，不做任何更改。" \
      /SD IDCANCEL IDRETRY retry
    ${If} ${Silent}
      SetErrorLevel 2
    ${Else}
      SetErrorLevel 1
    ${EndIf}
    Quit
    retry:
  ${Loop}
FunctionEnd
!macroend
!insertmacro VelmoraRunningChecks ""
!insertmacro VelmoraRunningChecks "un."

Section "Install"
  Call WaitUntilNotRunning
  SetOutPath "$INSTDIR"
  ; The main program lies under one of its two names; the installation brings it under one of
  ; them. A file left under the other name by an earlier installation would be taken for the
  ; main program (the runnable name wins) and be extracted again at the next start.
  Delete "$INSTDIR\${MAIN_PROGRAM}"
  Delete "$INSTDIR\${MAIN_PROGRAM_CACHE}"
  !ifndef UNINSTALLER_OUT
    !insertmacro VelmoraInstallFiles
  !endif
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Velmora.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Velmora.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  ; Run in place (_?=), so that the caller waits for the outcome and gets its exit code; the
  ; interactive string lets the uninstaller work from a copy in the temporary folder.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S _?=$INSTDIR'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  Call ReleaseLauncherGuard
SectionEnd

Section "Uninstall"
  Call un.WaitUntilNotRunning
  !insertmacro VelmoraUninstallFiles
  ; What the launcher creates in the folder: the main program under its runnable and its
  ; between-runs name, and a pending update request.
  Delete "$INSTDIR\${MAIN_PROGRAM}"
  Delete "$INSTDIR\${MAIN_PROGRAM_CACHE}"
  Delete "$INSTDIR\upd.tmp"
  Delete "$INSTDIR\${UNINSTALLER}"
  ${If} ${FileExists} "$INSTDIR\${UNINSTALLER}"
    ; Run in place (the entry's QuietUninstallString, so that the caller waits for the
    ; outcome), this program holds its own file: a copy in the temporary folder removes it,
    ; and the folder, once this program has ended.
    GetTempFileName $0
    CopyFiles /SILENT "$EXEPATH" "$0"
    System::Call 'kernel32::GetCurrentProcessId() i .r1'
    Exec '"$0" /AFTER=$1 _?=$INSTDIR'
  ${EndIf}
  ; Only when empty: files that others put there stay, and the folder with them.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  Call un.ReleaseLauncherGuard
SectionEnd
