; The Windows installer: per user, without administrator rights, into
; %LOCALAPPDATA%\Programs\Tarvel, which stays the workspace (Tarvel.ini,
; MASTER, PROJECTS and the updater beside Tarvel.exe). The uninstaller removes
; only what the installer put there.
;
; makensis -DVERSION=1.102 -DSTAGE=<folder with the zip's files> -DOUTFILE=<setup.exe>
;          -DDOCS_UNINSTALL=<file of Delete and RMDir lines for the docs it installs>
; A 64-bit installer for a 64-bit program (and Wine64 runs it).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
Name "Tarvel"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tarvel"
InstallDirRegKey HKCU "Software\Tarvel" "InstallDir"
; The files' own times are those of the commit (SOURCE_DATE_EPOCH), not
; the moment of the build.
SetDateSave on
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "Tarvel"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "The Tarvel developers"
VIAddVersionKey "FileDescription" "Tarvel ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "The Tarvel developers"

!include "MUI2.nsh"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvel"

Section "Tarvel"
  SetOutPath "$INSTDIR"
  ; An upgrade overwrites these and keeps everything else.
  File "${STAGE}\Tarvel.exe"
  File "${STAGE}\tarvel-cli.exe"
  File "${STAGE}\README.md"
  File "${STAGE}\LICENSE"
  File "${STAGE}\THIRD-PARTY-NOTICES.md"
  SetOutPath "$INSTDIR\docs"
  File /r "${STAGE}\docs\*.*"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Tarvel.lnk" "$INSTDIR\Tarvel.exe"
  CreateShortcut "$SMPROGRAMS\Tarvel Station.lnk" "$INSTDIR\Tarvel.exe" "--station"
  WriteRegStr HKCU "Software\Tarvel" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tarvel"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The Tarvel developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tarvel.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Tarvel.ini, MASTER, PROJECTS and Ser_40917_Update.exe are the operator's:
; they stay, and so does the folder that holds them.
Section "Uninstall"
  Delete "$INSTDIR\Tarvel.exe"
  Delete "$INSTDIR\tarvel-cli.exe"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\LICENSE"
  Delete "$INSTDIR\THIRD-PARTY-NOTICES.md"
  ; File by file: a folder the installer did not make, or a file the
  ; operator put in it, stays.
  !include "${DOCS_UNINSTALL}"
  Delete "$SMPROGRAMS\Tarvel.lnk"
  Delete "$SMPROGRAMS\Tarvel Station.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "Software\Tarvel"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
