@"%~dp0windows-x86_64\tovex-build.exe" %*
