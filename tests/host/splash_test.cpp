// Pure parts of the splash screen: placement, status text conversion, and the
// controller poll before a VM exists.
#include <gtest/gtest.h>

#include <string>

#include "splash/splash.h"
#include "splash/splash_jni.h"

namespace {
struct CentreCase {
    const char* name;
    int left, top, right, bottom, width, height;
    int x, y;
};

TEST(SplashPlacement, CentresWithIntegerDivisionTowardZero) {
    const CentreCase cases[] = {
        {"odd image on full HD", 0, 0, 1920, 1080, 401, 301, 759, 389},
        {"test display", 0, 0, 1280, 800, 320, 200, 480, 300},
        {"image wider than the desktop truncates toward zero", 0, 0, 100, 100, 301, 101, -100, 0},
        {"odd negative difference", 0, 0, 100, 100, 103, 100, -1, 0},
        {"desktop not at the origin: the formula subtracts left and top once", 100, 50, 1380, 850, 320, 200, 480, 300},
    };
    for (const CentreCase& c : cases) {
        SplashPosition at = centreSplash(c.left, c.top, c.right, c.bottom, c.width, c.height);
        EXPECT_EQ(at.x, c.x) << c.name;
        EXPECT_EQ(at.y, c.y) << c.name;
    }
}

TEST(SplashStatusText, ShortTextsConvertWhole) {
    EXPECT_EQ(statusTextToNarrow(u""), "");
    EXPECT_EQ(statusTextToNarrow(u"Loading ..."), "Loading ...");
}

TEST(SplashStatusText, LongTextsAreCutToTheBuffer) {
    const size_t limit = kStatusTextBufferSize - 1;
    struct Case {
        const char* name;
        size_t length;
        size_t expected;
    } cases[] = {
        {"exactly the limit", limit, limit},
        {"one over", limit + 1, limit},
        {"far over", 3 * kStatusTextBufferSize, limit},
    };
    for (const Case& c : cases) {
        std::u16string text(c.length, u'x');
        text[0] = u'A';
        std::string narrow = statusTextToNarrow(text);
        EXPECT_EQ(narrow.size(), c.expected) << c.name;
        EXPECT_EQ(narrow[0], 'A') << c.name;
        EXPECT_EQ(narrow.find_first_not_of('x', 1), std::string::npos) << c.name;
    }
}

TEST(SplashStatusText, CutNeverSplitsASurrogatePair) {
    const size_t limit = kStatusTextBufferSize - 1;
    // A pair straddling the limit: keeping its first half alone would leave a broken character.
    std::u16string text(limit - 1, u'a');
    text += u"\U0001F600\U0001F600";
    std::string narrow = statusTextToNarrow(text);
    ASSERT_LE(narrow.size(), limit);
    EXPECT_GE(narrow.size(), limit - 1);
    EXPECT_EQ(narrow.substr(0, limit - 1), std::string(limit - 1, 'a'));
    // Whatever stands for the emoji is the conversion of the whole pair, never half of it.
    std::string tail = narrow.substr(limit - 1);
    EXPECT_TRUE(tail.empty() || tail == statusTextToNarrow(u"\U0001F600")) << tail;
}

TEST(SplashControllerPoll, NoVmMeansNoJniCallAndNothingToDo) {
    SplashControllerLink link;
    std::u16string text = u"unchanged";
    EXPECT_EQ(pollSplashController(link, nullptr, text), SplashPoll::Nothing);
    EXPECT_EQ(text, u"unchanged");
    EXPECT_EQ(link.env, nullptr);
    detachSplashThread(link, nullptr);  // nothing attached: nothing to detach
    EXPECT_EQ(link.controller, nullptr);
}
}  // namespace
