// Polling the Java-side splash controller from the splash thread.
#include "splash_jni.h"

#include "launcher/log.h"

namespace {
// Clears a pending Java exception; true when there was one.
bool clearException(JNIEnv* env) {
    if (!env->ExceptionCheck()) return false;
    env->ExceptionClear();
    return true;
}

void deleteLocal(JNIEnv* env, jobject object) {
    if (object) env->DeleteLocalRef(object);
}
}  // namespace

bool resolveSplashController(SplashControllerLink& link, JavaVM* vm) {
    if (link.env) return true;
    if (!vm) return false;
    void* env = nullptr;
    jint result = vm->AttachCurrentThread(&env, nullptr);
    if (result != JNI_OK || !env) return false;  // tried again at the next tick
    link.env = static_cast<JNIEnv*>(env);
    logMessage("splash thread attached to the JVM");

    JNIEnv* e = link.env;
    jclass local = e->FindClass(kSplashControllerClass);
    if (clearException(e) || !local) {
        deleteLocal(e, local);
        logMessage("splash controller %s not found", kSplashControllerClass);
        return true;
    }
    jmethodID getAction = e->GetStaticMethodID(local, "getAction", "()I");
    if (clearException(e)) getAction = nullptr;
    jmethodID getText = getAction ? e->GetStaticMethodID(local, "getText", "()Ljava/lang/String;") : nullptr;
    if (clearException(e)) getText = nullptr;
    if (!getAction || !getText) {
        deleteLocal(e, local);
        logMessage("splash controller methods not found");
        return true;
    }
    jclass global = static_cast<jclass>(e->NewGlobalRef(local));
    deleteLocal(e, local);
    if (clearException(e) || !global) {
        logMessage("splash controller methods not found");
        return true;
    }
    link.controller = global;
    link.getAction = getAction;
    link.getText = getText;
    return true;
}

bool copyJavaString(JNIEnv* env, jstring string, std::u16string& text) {
    if (!string) return false;
    jsize length = env->GetStringLength(string);
    const jchar* chars = env->GetStringChars(string, nullptr);
    if (!chars) {
        clearException(env);
        return false;
    }
    text.assign(reinterpret_cast<const char16_t*>(chars), length > 0 ? static_cast<size_t>(length) : 0);
    env->ReleaseStringChars(string, chars);
    return true;
}

SplashPoll pollSplashController(SplashControllerLink& link, JavaVM* vm, std::u16string& text) {
    if (!vm) return SplashPoll::Nothing;  // before the VM exists no JNI call is made
    if (!link.env && !resolveSplashController(link, vm)) return SplashPoll::Nothing;
    if (!link.controller) return SplashPoll::Nothing;
    JNIEnv* env = link.env;

    jint action = env->CallStaticIntMethod(link.controller, link.getAction);
    if (clearException(env)) return SplashPoll::Nothing;
    if (action == 1) return SplashPoll::Hide;
    if (action != 2) return SplashPoll::Nothing;

    jobject result = env->CallStaticObjectMethod(link.controller, link.getText);
    if (clearException(env)) {
        deleteLocal(env, result);
        return SplashPoll::Nothing;
    }
    bool copied = copyJavaString(env, static_cast<jstring>(result), text);
    deleteLocal(env, result);
    return copied ? SplashPoll::Text : SplashPoll::Nothing;
}

void detachSplashThread(SplashControllerLink& link, JavaVM* vm) {
    if (link.env && vm) {
        if (link.controller) link.env->DeleteGlobalRef(link.controller);
        vm->DetachCurrentThread();
        logMessage("splash thread detached from the JVM");
    }
    link = SplashControllerLink();
}
