// The splash thread's poll against a real VM (libjvm.so): the VM is created on
// the main thread, the poll runs on a second thread that attaches itself, as
// the launcher's splash thread does. TOVEX_SPLASH_CLASSPATH selects what
// "com/tovex/runtime/TovexController" is: the application-side controller, a
// scripted one, or none.
#include <gtest/gtest.h>
#include <jni.h>

#include <cstdarg>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "splash/splash_jni.h"

namespace {
JavaVM* gVm = nullptr;
JNIEnv* gMainEnv = nullptr;

// One VM per process, created on first use on the test's main thread.
JavaVM* theVm() {
    if (gVm) return gVm;
    const char* classPath = std::getenv("TOVEX_SPLASH_CLASSPATH");
    if (!classPath) return nullptr;
    std::string option = std::string("-Djava.class.path=") + classPath;
    JavaVMOption options[3];
    options[0].optionString = const_cast<char*>(option.c_str());
    options[0].extraInfo = nullptr;
    options[1].optionString = const_cast<char*>("-Xrs");
    options[1].extraInfo = nullptr;
    options[2].optionString = const_cast<char*>("-Xcheck:jni");
    options[2].extraInfo = nullptr;
    JavaVMInitArgs args;
    args.version = JNI_VERSION_1_2;
    args.nOptions = 3;
    args.options = options;
    args.ignoreUnrecognized = JNI_TRUE;
    void* env = nullptr;
    if (JNI_CreateJavaVM(&gVm, &env, &args) != JNI_OK) return nullptr;
    gMainEnv = static_cast<JNIEnv*>(env);
    return gVm;
}

// Calls a static method of the controller from the main thread (the application's side).
void callController(const char* name, const char* signature, ...) {
    jclass controller = gMainEnv->FindClass("com/tovex/runtime/TovexController");
    ASSERT_NE(controller, nullptr);
    jmethodID method = gMainEnv->GetStaticMethodID(controller, name, signature);
    ASSERT_NE(method, nullptr) << name;
    va_list args;
    va_start(args, signature);
    gMainEnv->CallStaticVoidMethodV(controller, method, args);
    va_end(args);
    ASSERT_FALSE(gMainEnv->ExceptionCheck());
    gMainEnv->DeleteLocalRef(controller);
}

jstring javaString(const std::u16string& text) {
    return gMainEnv->NewString(reinterpret_cast<const jchar*>(text.data()), static_cast<jsize>(text.size()));
}

struct PollResult {
    SplashPoll poll;
    std::u16string text;
    bool exceptionPending;
};

// Runs polls on a fresh thread (attached by the first poll), then detaches it
// as the splash thread does when it ends. checks runs on that thread before the detach.
std::vector<PollResult> pollOnSplashThread(int polls, std::u16string initialText = u"unchanged",
                                           const std::function<void(SplashControllerLink&)>& checks = nullptr) {
    std::vector<PollResult> results;
    std::thread splash([&] {
        SplashControllerLink link;
        for (int i = 0; i < polls; ++i) {
            PollResult r{SplashPoll::Nothing, initialText, false};
            r.poll = pollSplashController(link, gVm, r.text);
            r.exceptionPending = link.env && link.env->ExceptionCheck();
            results.push_back(r);
        }
        if (checks) checks(link);
        detachSplashThread(link, gVm);
        void* env = nullptr;
        EXPECT_EQ(gVm->GetEnv(&env, JNI_VERSION_1_2), JNI_EDETACHED) << "the thread must leave the VM";
    });
    splash.join();
    return results;
}

class JvmTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!theVm()) GTEST_SKIP() << "TOVEX_SPLASH_CLASSPATH not set or the VM could not be created";
    }
};

class RealController : public JvmTest {
protected:
    void SetUp() override {
        JvmTest::SetUp();
        if (!IsSkipped()) callController("reset", "()V");
    }
};

TEST_F(RealController, NothingToDoUntilTheApplicationAsks) {
    std::vector<PollResult> r = pollOnSplashThread(3, u"unchanged", [](SplashControllerLink& link) {
        EXPECT_NE(link.env, nullptr);
        EXPECT_NE(link.controller, nullptr);
    });
    for (const PollResult& p : r) {
        EXPECT_EQ(p.poll, SplashPoll::Nothing);
        EXPECT_EQ(p.text, u"unchanged");
    }
}

TEST_F(RealController, TextSetByTheApplicationArrivesOnceAndIntact) {
    const std::u16string status = u"Gr\u00fc\u00dfe \u2013 loading \U0001F680";
    jstring text = javaString(status);
    callController("setSplashText", "(Ljava/lang/String;)V", text);
    gMainEnv->DeleteLocalRef(text);
    std::vector<PollResult> r = pollOnSplashThread(2);
    EXPECT_EQ(r[0].poll, SplashPoll::Text);
    EXPECT_EQ(r[0].text, status);
    EXPECT_EQ(r[1].poll, SplashPoll::Nothing);
}

TEST_F(RealController, HideRequestIsReportedOnce) {
    jstring text = javaString(u"dropped by the hide");
    callController("setSplashText", "(Ljava/lang/String;)V", text);
    gMainEnv->DeleteLocalRef(text);
    callController("hideSplash", "()V");
    std::vector<PollResult> r = pollOnSplashThread(2);
    EXPECT_EQ(r[0].poll, SplashPoll::Hide);
    EXPECT_EQ(r[1].poll, SplashPoll::Nothing);
}

class ScriptedController : public JvmTest {
protected:
    void script(int action, const char16_t* text, int throwWhere) {
        jstring s = text ? javaString(text) : nullptr;
        callController("script", "(ILjava/lang/String;I)V", static_cast<jint>(action), s, static_cast<jint>(throwWhere));
        if (s) gMainEnv->DeleteLocalRef(s);
    }
};

TEST_F(ScriptedController, ResultsMapToActions) {
    struct Case {
        const char* name;
        int action;
        const char16_t* text;
        int throwWhere;
        SplashPoll poll;
        std::u16string expectedText;
    } cases[] = {
        {"1 hides", 1, u"ignored", 0, SplashPoll::Hide, u"unchanged"},
        {"2 with a text", 2, u"Ready", 0, SplashPoll::Text, u"Ready"},
        {"2 with an empty text", 2, u"", 0, SplashPoll::Text, u""},
        {"2 with null keeps the text", 2, nullptr, 0, SplashPoll::Nothing, u"unchanged"},
        {"other values do nothing", 7, u"ignored", 0, SplashPoll::Nothing, u"unchanged"},
        {"0 does nothing", 0, u"ignored", 0, SplashPoll::Nothing, u"unchanged"},
        {"getAction throws", 2, u"ignored", 1, SplashPoll::Nothing, u"unchanged"},
        {"getText throws", 2, u"ignored", 2, SplashPoll::Nothing, u"unchanged"},
    };
    for (const Case& c : cases) {
        script(c.action, c.text, c.throwWhere);
        std::vector<PollResult> r = pollOnSplashThread(1);
        EXPECT_EQ(r[0].poll, c.poll) << c.name;
        EXPECT_EQ(r[0].text, c.expectedText) << c.name;
        EXPECT_FALSE(r[0].exceptionPending) << c.name << ": the poll must clear the exception";
    }
}

TEST_F(ScriptedController, AnExceptionDoesNotSpoilLaterPolls) {
    script(2, u"later", 1);
    std::vector<PollResult> results;
    std::thread poller([&] {
        SplashControllerLink link;
        PollResult first{SplashPoll::Nothing, u"unchanged", false};
        first.poll = pollSplashController(link, gVm, first.text);
        first.exceptionPending = link.env->ExceptionCheck();
        results.push_back(first);
        // The application recovers (here: from this thread); the next tick must work normally.
        jmethodID scriptMethod = link.env->GetStaticMethodID(link.controller, "script", "(ILjava/lang/String;I)V");
        jstring later = link.env->NewString(reinterpret_cast<const jchar*>(u"later"), 5);
        link.env->CallStaticVoidMethod(link.controller, scriptMethod, 2, later, 0);
        ASSERT_FALSE(link.env->ExceptionCheck());
        link.env->DeleteLocalRef(later);
        PollResult second{SplashPoll::Nothing, u"unchanged", false};
        second.poll = pollSplashController(link, gVm, second.text);
        second.exceptionPending = link.env->ExceptionCheck();
        results.push_back(second);
        detachSplashThread(link, gVm);
    });
    poller.join();
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].poll, SplashPoll::Nothing);
    EXPECT_FALSE(results[0].exceptionPending);
    EXPECT_EQ(results[1].poll, SplashPoll::Text);
    EXPECT_EQ(results[1].text, u"later");
}

TEST_F(ScriptedController, PollsLeaveNoLocalReferencesBehind) {
    // Every poll gets a new string; an attached thread never returns to Java,
    // so only DeleteLocalRef lets it go. A string still referenced from the
    // thread's local references survives a full collection.
    script(2, u"again and again", 0);
    bool collected = false;
    std::thread splash([&] {
        SplashControllerLink link;
        std::u16string text;
        for (int i = 0; i < 50; ++i) ASSERT_EQ(pollSplashController(link, gVm, text), SplashPoll::Text);
        jmethodID probe = link.env->GetStaticMethodID(link.controller, "lastTextCollected", "()Z");
        ASSERT_NE(probe, nullptr);
        collected = link.env->CallStaticBooleanMethod(link.controller, probe) == JNI_TRUE;
        detachSplashThread(link, gVm);
    });
    splash.join();
    EXPECT_TRUE(collected);
}

class MissingController : public JvmTest {};

TEST_F(MissingController, PollStaysIdleWithoutPendingException) {
    std::vector<PollResult> r = pollOnSplashThread(3, u"unchanged", [](SplashControllerLink& link) {
        EXPECT_NE(link.env, nullptr) << "attached once the VM exists";
        EXPECT_EQ(link.controller, nullptr);
    });
    for (const PollResult& p : r) {
        EXPECT_EQ(p.poll, SplashPoll::Nothing);
        EXPECT_EQ(p.text, u"unchanged");
        EXPECT_FALSE(p.exceptionPending);
    }
}
}  // namespace
