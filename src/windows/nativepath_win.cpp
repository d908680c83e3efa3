#include <windows.h>
#include "nativepath.h"
void setNativeLibraryPath() {}
