; Valmeric for one user: no administrator rights, into
; %LOCALAPPDATA%\Programs\Valmeric with db\ beside the program (the settings
; and the scratch files are written there). Silent with /S; the comparison's
; desktop shortcut, offered on the finish page, comes in silence only with
; /DESKTOP (setup.exe /S /DESKTOP).
;
; Its pages and the uninstaller's speak Japanese (Modern UI 2), and it
; carries the office guide and the batch file that compares two CSV files.
; The Start menu gets the program, the guide, the program's folder (hidden
; in the user's AppData, it holds db\ and the batch file) and the batch
; file.
;
; makensis -DVERSION=0.1.0 -DBINDIR=<folder of valmeric.exe and db/> -DGUIDEDIR=<folder of
;   guide-ja.html and compare-csv.bat> -DICON=<.ico> -DOUTFILE=<setup.exe> valmeric.nsi

; A 64-bit installer for the 64-bit program (and for a Wine without 32-bit support).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!define APP "Valmeric"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Valmeric"

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${APP}"
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
ShowInstDetails show

!define PROGRAM_LINK "$SMPROGRAMS\${APP}.lnk"
!define GUIDE_LINK "$SMPROGRAMS\${APP} 使い方.lnk"
!define FOLDER_LINK "$SMPROGRAMS\${APP} のフォルダー.lnk"
; Two CSV files dropped on a shortcut to the batch file reach it as its
; arguments, and it finds valmeric-cli.exe beside itself (%~dp0), wherever
; the shortcut lies.
!define COMPARE_NAME "${APP} 2 つの CSV を比べる"
!define COMPARE_LINK "$SMPROGRAMS\${COMPARE_NAME}.lnk"
!define DESKTOP_LINK "$DESKTOP\${COMPARE_NAME}.lnk"

Var DesktopLink      ; 1: /DESKTOP asked for the comparison on the desktop
Var DesktopCheckbox  ; the finish page's third checkbox

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\valmeric.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\guide-ja.html"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "使い方（guide-ja.html）を開く"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishPageShow
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE FinishPageLeave
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
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/DESKTOP" $1
  ${IfNot} ${Errors}
    StrCpy $DesktopLink 1
  ${EndIf}
FunctionEnd

; The finish page's third checkbox, under MUI2's two ("run" and "guide", at
; 90u and 110u), unticked unless /DESKTOP asked for the shortcut.
Function FinishPageShow
  ${NSD_CreateCheckbox} 120u 130u 195u 10u "デスクトップに「2 つの CSV を比べる」を作る"
  Pop $DesktopCheckbox
  SetCtlColors $DesktopCheckbox "${MUI_TEXTCOLOR}" "${MUI_BGCOLOR}"
  ${If} $DesktopLink == 1
    ${NSD_Check} $DesktopCheckbox
  ${EndIf}
FunctionEnd

Function FinishPageLeave
  ${NSD_GetState} $DesktopCheckbox $0
  ${If} $0 == ${BST_CHECKED}
    Call MakeDesktopLink
  ${EndIf}
FunctionEnd

Function MakeDesktopLink
  SetOutPath "$INSTDIR"
  CreateShortcut "${DESKTOP_LINK}" "$INSTDIR\compare-csv.bat"
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
  CreateShortcut "${PROGRAM_LINK}" "$INSTDIR\valmeric.exe" "" "$INSTDIR\valmeric.exe" 0
  CreateShortcut "${GUIDE_LINK}" "$INSTDIR\guide-ja.html"
  CreateShortcut "${FOLDER_LINK}" "$INSTDIR"
  CreateShortcut "${COMPARE_LINK}" "$INSTDIR\compare-csv.bat"
  ; Silent, there is no finish page to offer it.
  ${If} ${Silent}
  ${AndIf} $DesktopLink == 1
    Call MakeDesktopLink
  ${EndIf}

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
  Delete "${PROGRAM_LINK}"
  Delete "${GUIDE_LINK}"
  Delete "${FOLDER_LINK}"
  Delete "${COMPARE_LINK}"
  Delete "${DESKTOP_LINK}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
