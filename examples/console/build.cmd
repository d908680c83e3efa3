@echo off
rem Builds HelloConsole.exe into OUTDIR (default: out beside this script) with the
rem builder of this release. The jars go inside the exe; HelloConsole.vmoptions
rem goes beside it. A Java runtime copied into OUTDIR\jre is used first.
setlocal
set "here=%~dp0"
set "release=%~dp0..\.."
set "out=%~1"
if "%out%"=="" set "out=%here%out"
if not exist "%out%" mkdir "%out%"
if not exist "%out%" exit /b 1
copy /y "%here%HelloConsole.vmoptions" "%out%\HelloConsole.vmoptions" >nul
if errorlevel 1 exit /b 1
"%release%\bin\windows-x86_64\tovex-build.exe" --check "%here%hello-console.conf" --app-dir "%out%"
if errorlevel 1 exit /b 1
"%release%\bin\windows-x86_64\tovex-build.exe" --config "%here%hello-console.conf" --out "%out%\HelloConsole.exe"
if errorlevel 1 exit /b 1
echo built %out%\HelloConsole.exe
