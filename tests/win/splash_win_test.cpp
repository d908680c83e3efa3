// The launcher's own splash window under Wine: creation, placement, the hide
// rules and the end of the splash thread. Needs a display (Xvfb); without one
// no window can be created and the window tests are skipped.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "launcher/config.h"
#include "launcher/errors.h"
#include "splash/splash.h"

namespace {
constexpr DWORD kUpperBoundMs = 20000;

bool displayAvailable() {
    HWND probe = CreateWindowExA(0, "STATIC", "probe", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (!probe) return false;
    DestroyWindow(probe);
    return true;
}

// Polls (with an upper bound) until predicate holds.
template <typename Predicate>
bool waitUntil(Predicate predicate) {
    DWORD start = GetTickCount();
    while (!predicate()) {
        if (GetTickCount() - start > kUpperBoundMs) return false;
        Sleep(10);
    }
    return true;
}

class SplashWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!displayAvailable()) GTEST_SKIP() << "no display: windows cannot be created";
        setConfigForTesting({{CFG_SPLASH_ENABLED, "1"},
                             {CFG_APPLICATION_NAME, "Splash Test"},
                             {CFG_SPLASH_WIDTH, "401"},
                             {CFG_SPLASH_HEIGHT, "301"},
                             {CFG_STATUS_TEXT, "Starting ..."},
                             {CFG_STATUS_TEXT_COLOR, "255,0,0"},
                             {CFG_STATUS_FONT_SIZE, "12"},
                             {CFG_VERSION_TEXT, "1.0"}});
        resetSplashForTesting();
        setErrorOwnerWindow(nullptr);
    }
    void TearDown() override {
        hideSplash();
        EXPECT_TRUE(waitForSplashEndForTesting(kUpperBoundMs));
        resetSplashForTesting();
        setErrorOwnerWindow(nullptr);
    }
    static HWND visibleSplash() {
        HWND window = static_cast<HWND>(splashWindow());
        return window && IsWindowVisible(window) ? window : nullptr;
    }
};

TEST_F(SplashWindow, IsACentredPopupOwningTheErrorBoxes) {
    showSplash(SW_SHOWNORMAL);
    ASSERT_TRUE(waitUntil([] { return visibleSplash() != nullptr; }));
    HWND window = visibleSplash();
    char className[64] = {};
    GetClassNameA(window, className, sizeof(className));
    EXPECT_STREQ(className, "TovexSplashScreen");
    char title[64] = {};
    GetWindowTextA(window, title, sizeof(title));
    EXPECT_STREQ(title, "Splash Test");
    LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME));

    RECT desktop, rect;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(window, &rect);
    SplashPosition at = centreSplash(desktop.left, desktop.top, desktop.right, desktop.bottom, 401, 301);
    EXPECT_EQ(rect.left, at.x);
    EXPECT_EQ(rect.top, at.y);
    EXPECT_EQ(rect.right - rect.left, 401);
    EXPECT_EQ(rect.bottom - rect.top, 301);

    EXPECT_TRUE(splashInitialized());
    EXPECT_EQ(errorOwnerWindow(), window);
}

TEST_F(SplashWindow, HideEndsTheSplashButItsWindowStillOwnsErrorBoxes) {
    showSplash(SW_SHOWNORMAL);
    ASSERT_TRUE(waitUntil([] { return visibleSplash() != nullptr; }));
    HWND window = visibleSplash();
    hideSplash();
    EXPECT_FALSE(IsWindowVisible(window));
    ASSERT_TRUE(waitForSplashEndForTesting(kUpperBoundMs));
    // The hidden window stays valid: a box owned by a destroyed window would vanish with it.
    EXPECT_TRUE(IsWindow(window));
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(errorOwnerWindow(), window);
    EXPECT_TRUE(splashInitialized());  // never shown twice in one process
}

TEST_F(SplashWindow, HideBeforeTheThreadRunsCreatesNoWindow) {
    hideSplash();
    EXPECT_TRUE(splashInitialized());
    showSplash(SW_SHOWNORMAL);
    ASSERT_TRUE(waitForSplashEndForTesting(kUpperBoundMs));
    EXPECT_EQ(splashWindow(), nullptr);
    EXPECT_EQ(FindWindowA("TovexSplashScreen", nullptr), nullptr);
    EXPECT_EQ(errorOwnerWindow(), nullptr);
}

TEST_F(SplashWindow, StartedHiddenShowsNoSplash) {
    showSplash(SW_HIDE);
    ASSERT_TRUE(waitForSplashEndForTesting(kUpperBoundMs));
    EXPECT_TRUE(splashInitialized());
    EXPECT_EQ(FindWindowA("TovexSplashScreen", nullptr), nullptr);
}

TEST_F(SplashWindow, HidesItselfWhenTheApplicationShowsAWindow) {
    setConfigValueForTesting(CFG_SPLASH_HIDE_ON_WINDOW, "1");
    showSplash(SW_SHOWNORMAL);
    ASSERT_TRUE(waitUntil([] { return visibleSplash() != nullptr; }));
    HWND window = visibleSplash();
    // The splash alone stays up for at least a few ticks.
    EXPECT_FALSE(waitForSplashEndForTesting(500));
    EXPECT_TRUE(IsWindowVisible(window));

    HWND app = CreateWindowExA(0, "STATIC", "application", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                               nullptr, nullptr);
    ASSERT_NE(app, nullptr);
    EXPECT_TRUE(waitForSplashEndForTesting(kUpperBoundMs));
    EXPECT_FALSE(IsWindowVisible(window));
    DestroyWindow(app);
}

TEST(SplashFont, HeightFollowsPointsAndDpiAndFaceIsCut) {
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    struct Case {
        int points;
        int weight;
        std::string face;
        LONG height;
        std::string storedFace;
    } cases[] = {
        {12, 400, "Arial", -MulDiv(12, dpi, 72), "Arial"},
        {10, 700, std::string(40, 'F'), -MulDiv(10, dpi, 72), std::string(31, 'F')},
        {0, 0, "", 0, ""},
    };
    for (const Case& c : cases) {
        HFONT font = static_cast<HFONT>(createSplashFont(screen, c.points, c.weight, c.face));
        ASSERT_NE(font, nullptr);
        LOGFONTA info;
        ASSERT_EQ(GetObjectA(font, sizeof(info), &info), static_cast<int>(sizeof(info)));
        EXPECT_EQ(info.lfHeight, c.height) << c.points;
        EXPECT_EQ(info.lfWeight, c.weight) << c.points;
        EXPECT_EQ(info.lfPitchAndFamily, 0x20) << c.points;
        EXPECT_EQ(std::string(info.lfFaceName), c.storedFace) << c.points;
        DeleteObject(font);
    }
    if (dpi == 96) EXPECT_EQ(-MulDiv(12, dpi, 72), -16);
    ReleaseDC(nullptr, screen);
}
}  // namespace
