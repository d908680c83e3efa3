// The resources of a launcher executable that the launcher reads and the
// builder writes (shared so that both agree).
#pragma once

namespace resource_ids {
// Icon group of the executable (Explorer, taskbar).
constexpr int kAppIconGroup = 1001;
// Named icon group: the splash window's class icon.
constexpr const char kSplashIconName[] = "ID_SPLASH_ICON";
// Bitmap (RT_BITMAP) of the launcher's own splash window.
constexpr int kSplashBitmap = 10000;
// Raw data (RT_RCDATA) handed to the runtime's splash library.
constexpr int kSplashImage = 10000;
// The application manifest (RT_MANIFEST 1).
constexpr int kManifest = 1;
// The grey the splash window paints wherever its image does not reach
// (the stock LTGRAY_BRUSH); transparent image pixels are blended onto it.
constexpr unsigned char kSplashGrey = 192;
}  // namespace resource_ids
