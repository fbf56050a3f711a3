; Valmeric for one user: no administrator rights, into
; %LOCALAPPDATA%\Programs\Valmeric with db\ beside the program (the settings
; and the scratch files are written there). Silent with /S.
;
; Its pages and the uninstaller's speak Japanese (Modern UI 2), and it
; carries the office guide and the batch file that compares two CSV files.
;
; makensis -DVERSION=0.1.0 -DBINDIR=<folder of valmeric.exe and db/> -DGUIDEDIR=<folder of
;   guide-ja.html and compare-csv.bat> -DICON=<.ico> -DOUTFILE=<setup.exe> valmeric.nsi

; A 64-bit installer for the 64-bit program (and for a Wine without 32-bit support).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "MUI2.nsh"

!define APP "Valmeric"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Valmeric"

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${APP}"
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
ShowInstDetails show

!define GUIDE_LINK "$SMPROGRAMS\${APP} 使い方.lnk"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\valmeric.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\guide-ja.html"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "使い方（guide-ja.html）を開く"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductName" "${APP}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileDescription" "${APP} セットアップ"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "LegalCopyright" "The Valmeric developers"

Function .onInit
  SetShellVarContext current
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "Valmeric"
  SetOutPath "$INSTDIR"
  File "${BINDIR}/valmeric.exe"
  File "${BINDIR}/valmeric-cli.exe"
  File "${GUIDEDIR}/guide-ja.html"
  File "${GUIDEDIR}/compare-csv.bat"
  SetOutPath "$INSTDIR\db"
  File "${BINDIR}/db/hpt_data.db"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\valmeric.exe" "" "$INSTDIR\valmeric.exe" 0
  CreateShortcut "${GUIDE_LINK}" "$INSTDIR\guide-ja.html"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${APP}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\valmeric.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Everything the program and its runs put beside it goes; what the user saved
; (CSV files) stays, and with it the folders that hold it.
Section "Uninstall"
  Delete "$INSTDIR\valmeric.exe"
  Delete "$INSTDIR\valmeric-cli.exe"
  Delete "$INSTDIR\guide-ja.html"
  Delete "$INSTDIR\compare-csv.bat"
  Delete "$INSTDIR\db\hpt_data.db"
  Delete "$INSTDIR\db\hpt_data.db-*"
  Delete "$INSTDIR\db\hpt_data.db.*"
  Delete "$INSTDIR\db\hpt.ini"
  Delete "$INSTDIR\db\tmp*.dat"
  Delete "$INSTDIR\tmp*.dat"
  RMDir "$INSTDIR\db"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${APP}.lnk"
  Delete "${GUIDE_LINK}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
