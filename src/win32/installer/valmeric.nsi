; Valmeric for one user: no administrator rights, into
; %LOCALAPPDATA%\Programs\Valmeric with db\ beside the program (the settings
; and the scratch files are written there). Silent with /S.
;
; makensis -DVERSION=0.1.0 -DBINDIR=<folder of valmeric.exe and db/> -DICON=<.ico> -DOUTFILE=<setup.exe> valmeric.nsi

; A 64-bit installer for the 64-bit program (and for a Wine without 32-bit support).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define APP "Valmeric"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Valmeric"

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${APP}"
Icon "${ICON}"
UninstallIcon "${ICON}"
ShowInstDetails show
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${APP}"
VIAddVersionKey "FileDescription" "${APP} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "The Valmeric developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

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
  SetOutPath "$INSTDIR\db"
  File "${BINDIR}/db/hpt_data.db"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\valmeric.exe" "" "$INSTDIR\valmeric.exe" 0

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
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
