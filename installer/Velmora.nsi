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

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
ShowInstDetails hide
ShowUninstDetails hide

!include "MUI2.nsh"
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
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
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
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  !insertmacro VelmoraUninstallFiles
  ; What the launcher creates in the folder: the main program under its runnable and its
  ; between-runs name, and a pending update request.
  Delete "$INSTDIR\Kestrun.exe"
  Delete "$INSTDIR\kstcache"
  Delete "$INSTDIR\upd.tmp"
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only when empty: files that others put there stay, and the folder with them.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
