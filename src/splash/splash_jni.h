// The splash thread's link to the Java program: it attaches to the running VM
// and polls the Java-side controller "com/tovex/runtime/TovexController"
// (static int getAction(), static String getText()) at every timer tick.
// Free of windows.h: builds against the JDK's libjvm.so on the host as well.
#pragma once
#include <string>

#include <jni.h>

// What one poll asks the splash to do.
enum class SplashPoll {
    Nothing,  // no VM yet, no controller, or getAction gave neither 1 nor 2 (or getText gave null)
    Hide,     // getAction gave 1
    Text,     // getAction gave 2 and getText a string: the new status text
};

// The splash thread's attachment and the controller resolved once. Used by
// one thread only (the one that attached).
struct SplashControllerLink {
    JNIEnv* env = nullptr;         // set once AttachCurrentThread succeeded
    jclass controller = nullptr;   // global reference; stays nullptr when the class is absent
                                   // (looked up once, right after the attach)
    jmethodID getAction = nullptr;
    jmethodID getText = nullptr;
};

// The controller class in the slash form FindClass wants.
inline constexpr const char* kSplashControllerClass = "com/tovex/runtime/TovexController";

// One poll. vm is nullptr while no VM exists: then no JNI call is made. The
// first poll with a VM attaches the calling thread (non-daemon, no attach
// arguments) and resolves the controller; a failed attach is tried again at
// the next poll. After every poll no Java exception is pending and no local
// reference created by the poll is left. On Text, text receives the new status.
SplashPoll pollSplashController(SplashControllerLink& link, JavaVM* vm, std::u16string& text);

// Attaches and resolves the controller (step of pollSplashController). False
// while the thread is not attached.
bool resolveSplashController(SplashControllerLink& link, JavaVM* vm);

// The characters of a Java string; false (text untouched) for null.
bool copyJavaString(JNIEnv* env, jstring string, std::u16string& text);

// Releases the controller class and detaches the calling thread when it is
// attached (so the VM's destruction stops waiting for it). The link is reset.
void detachSplashThread(SplashControllerLink& link, JavaVM* vm);
