@echo off
rem Builds HelloSwing.exe into OUTDIR (default: out beside this script) with the
rem builder of this release: the exe, lib\ with the two jars, HelloSwing.vmoptions.
rem A Java runtime copied into OUTDIR\jre is used first.
setlocal
set "here=%~dp0"
set "release=%~dp0..\.."
set "out=%~1"
if "%out%"=="" set "out=%here%out"
if not exist "%out%\lib" mkdir "%out%\lib"
if not exist "%out%\lib" exit /b 1
copy /y "%here%lib\hello-swing.jar" "%out%\lib\hello-swing.jar" >nul
if errorlevel 1 exit /b 1
copy /y "%release%\lib\tovex-runtime.jar" "%out%\lib\tovex-runtime.jar" >nul
if errorlevel 1 exit /b 1
copy /y "%here%HelloSwing.vmoptions" "%out%\HelloSwing.vmoptions" >nul
if errorlevel 1 exit /b 1
"%release%\bin\windows-x86_64\tovex-build.exe" --check "%here%hello-swing.conf" --app-dir "%out%"
if errorlevel 1 exit /b 1
"%release%\bin\windows-x86_64\tovex-build.exe" --config "%here%hello-swing.conf" --out "%out%\HelloSwing.exe"
if errorlevel 1 exit /b 1
echo built %out%\HelloSwing.exe
