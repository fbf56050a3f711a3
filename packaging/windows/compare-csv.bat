@echo off
rem Valmeric で保存した CSV ファイルを 2 つ、このファイル（またはそのショートカット）の上に同時に
rem ドロップすると、2 つの違い（新規・変更・廃止）をまとめた CSV を、新しい方のファイルと同じ
rem フォルダーに書き出します。valmeric-cli.exe は、このファイルと同じフォルダーにあるものを使います。
rem どちらが新しいかは、ファイルの更新日時（分まで）で決めます。
setlocal
if "%~2"=="" goto usage
if not "%~3"=="" goto usage

set "OLD=%~f1"
set "NEW=%~f2"
set "OLDTIME=%~t1"
set "NEWTIME=%~t2"
if "%OLDTIME%" GTR "%NEWTIME%" (
  set "OLD=%~f2"
  set "NEW=%~f1"
)
for %%F in ("%NEW%") do set "REPORT=%%~dpnF_変更点.csv"

echo 古いファイル: %OLD%
echo 新しいファイル: %NEW%
"%~dp0valmeric-cli.exe" diff "%OLD%" "%NEW%" --output "%REPORT%"
if errorlevel 1 (
  echo.
  echo 比較できませんでした。上のメッセージを確認してください。
  pause
  exit /b 2
)
echo.
echo 違いを書き出しました: %REPORT%
echo （上の 3 つの数は、新規・変更・廃止の件数です。）
pause
exit /b 0

:usage
echo 比べる CSV ファイルを 2 つ選び、まとめて compare-csv.bat か、そのショートカット
echo （デスクトップの「Valmeric 2 つの CSV を比べる」など）の上にドロップしてください。
pause
exit /b 2
