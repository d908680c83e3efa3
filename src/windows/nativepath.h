// Configured native library directories in front of PATH.
#pragma once

void setNativeLibraryPath();
