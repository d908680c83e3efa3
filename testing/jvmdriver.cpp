// jvmdriver.exe: loads a jvm.dll by path, creates the VM, calls main of the launcher class the way the
// launcher does, and destroys the VM.
//
//   jvmdriver.exe [--class NAME] [--no-destroy] [--firstrun] [--poll N] [--unexpected] [--foreign-env]
//                 JVMDLL [VM option ...] [-- main arg ...]
//   jvmdriver.exe --splash SPLASHSCREEN_DLL IMAGE_FILE
//
// --poll N   while main runs, a second thread attaches and asks com/tovex/runtime/TovexController up to N
//            times for getAction (getText after a 2; a 1 ends the polling), printing "poll action N" and
//            "poll text TEXT" / "poll text null" on standard output, then detaches.
// --firstrun calls com/marlowkit/runtime/launcher/FirstRun.firstRun()Z first; false or an exception
//            skips main (the VM is still destroyed, exit code 0).
// --unexpected   calls GetSuperclass (a JNI function no launcher needs) right after creating the VM.
// --foreign-env  a second thread uses the main thread's JNIEnv (a fault the stand-in must catch).
// --splash       loads the splashscreen.dll and calls SplashInit, SplashLoadMemory (the image file's bytes)
//                and SplashClose; prints "SplashLoadMemory -> N".
// Exit codes: 0 done, 1 main threw, 2 DLL not loaded, 3 no JNI_CreateJavaVM, 4 JNI_CreateJavaVM failed,
//             5 class not found, 6 main not found.
#include <jni.h>

#include "standin_common.h"

namespace {

typedef jint(JNICALL *CreateJavaVM)(JavaVM **, void **, void *);

JavaVM *gVm = nullptr;
JNIEnv *gMainEnv = nullptr;
int gPolls = 0;
HANDLE gPollStart = nullptr;

void say(const std::string &text) { standin::writeStdErr("jvmdriver: " + text + "\n"); }

std::string narrowAcp(const std::wstring &w) {
    if (w.empty()) return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, w.c_str(), static_cast<int>(w.size()), &out[0], n, nullptr, nullptr);
    return out;
}

DWORD WINAPI pollThread(LPVOID) {
    JNIEnv *env = nullptr;
    jint rc = gVm->AttachCurrentThread(reinterpret_cast<void **>(&env), nullptr);
    SetEvent(gPollStart);  // attached (or failed): main may start
    if (rc != JNI_OK) {
        standin::writeStdOut("poll attach failed\n");
        return 0;
    }
    jclass cls = env->FindClass("com/tovex/runtime/TovexController");
    jmethodID getAction = cls ? env->GetStaticMethodID(cls, "getAction", "()I") : nullptr;
    jmethodID getText = getAction ? env->GetStaticMethodID(cls, "getText", "()Ljava/lang/String;") : nullptr;
    if (!getText) {
        env->ExceptionClear();
        standin::writeStdOut("poll no controller\n");
    }
    for (int i = 0; getText && i < gPolls; ++i) {
        jint action = env->CallStaticIntMethod(cls, getAction);
        if (env->ExceptionCheck()) {
            env->ExceptionClear();
            standin::writeStdOut("poll exception\n");
            continue;
        }
        standin::writeStdOut("poll action " + std::to_string(action) + "\n");
        if (action == 1) break;
        if (action == 2) {
            jstring text = static_cast<jstring>(env->CallStaticObjectMethod(cls, getText));
            if (!text) {
                standin::writeStdOut("poll text null\n");
            } else {
                jsize len = env->GetStringLength(text);
                const jchar *chars = env->GetStringChars(text, nullptr);
                std::string utf8 = standin::toUtf8(reinterpret_cast<const wchar_t *>(chars), len);
                env->ReleaseStringChars(text, chars);
                env->DeleteLocalRef(text);
                standin::writeStdOut("poll text " + utf8 + "\n");
            }
        }
        Sleep(20);  // the launcher polls on a timer; the driver just paces itself
    }
    gVm->DetachCurrentThread();
    return 0;
}

DWORD WINAPI foreignEnvThread(LPVOID) {
    gMainEnv->FindClass("java/lang/String");  // not this thread's JNIEnv
    return 0;
}

int splash(const std::wstring &dll, const std::wstring &image) {
    HMODULE lib = LoadLibraryW(dll.c_str());
    if (!lib) {
        say("could not load " + standin::toUtf8(dll) + " (error " + std::to_string(GetLastError()) + ")");
        return 2;
    }
    typedef void (*VoidFn)();
    typedef int (*LoadFn)(void *, int);
    VoidFn init = reinterpret_cast<VoidFn>(reinterpret_cast<void *>(GetProcAddress(lib, "SplashInit")));
    LoadFn load = reinterpret_cast<LoadFn>(reinterpret_cast<void *>(GetProcAddress(lib, "SplashLoadMemory")));
    VoidFn close = reinterpret_cast<VoidFn>(reinterpret_cast<void *>(GetProcAddress(lib, "SplashClose")));
    if (!init || !load || !close) {
        say("splash functions missing");
        return 3;
    }
    std::string bytes;
    standin::readFile(image, bytes);
    init();
    int rc = load(bytes.empty() ? nullptr : &bytes[0], static_cast<int>(bytes.size()));
    standin::writeStdOut("SplashLoadMemory -> " + std::to_string(rc) + "\n");
    close();
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
    std::string className = "com/tovex/runtime/WinLauncher";
    bool destroy = true, firstRun = false, unexpectedCall = false, foreignEnv = false;
    if (argc == 4 && wcscmp(argv[1], L"--splash") == 0) return splash(argv[2], argv[3]);
    int i = 1;
    for (; i < argc && wcsncmp(argv[i], L"--", 2) == 0 && wcslen(argv[i]) > 2; ++i) {
        std::wstring opt = argv[i];
        if (opt == L"--class" && i + 1 < argc) className = standin::toUtf8(argv[++i]);
        else if (opt == L"--no-destroy") destroy = false;
        else if (opt == L"--firstrun") firstRun = true;
        else if (opt == L"--unexpected") unexpectedCall = true;
        else if (opt == L"--foreign-env") foreignEnv = true;
        else if (opt == L"--poll" && i + 1 < argc) gPolls = _wtoi(argv[++i]);
        else {
            say("unknown switch " + standin::toUtf8(opt));
            return 64;
        }
    }
    if (i >= argc) {
        say("usage: jvmdriver [--class NAME] [--no-destroy] [--firstrun] [--poll N] JVMDLL [option ...] [-- arg ...]");
        return 64;
    }
    std::wstring dll = argv[i++];
    std::vector<std::string> options;
    std::vector<std::wstring> args;
    bool inArgs = false;
    for (; i < argc; ++i) {
        if (!inArgs && wcscmp(argv[i], L"--") == 0) inArgs = true;
        else if (inArgs) args.push_back(argv[i]);
        else options.push_back(narrowAcp(argv[i]));
    }

    HMODULE lib = LoadLibraryW(dll.c_str());
    if (!lib) {
        say("could not load " + standin::toUtf8(dll) + " (error " + std::to_string(GetLastError()) + ")");
        return 2;
    }
    CreateJavaVM create = reinterpret_cast<CreateJavaVM>(reinterpret_cast<void *>(GetProcAddress(lib, "JNI_CreateJavaVM")));
    if (!create) {
        say("no JNI_CreateJavaVM");
        return 3;
    }
    std::vector<JavaVMOption> vmOptions(options.size());
    for (size_t k = 0; k < options.size(); ++k) {
        vmOptions[k].optionString = const_cast<char *>(options[k].c_str());
        vmOptions[k].extraInfo = nullptr;
    }
    JavaVMInitArgs initArgs;
    initArgs.version = JNI_VERSION_1_2;
    initArgs.nOptions = static_cast<jint>(vmOptions.size());
    initArgs.options = vmOptions.empty() ? nullptr : vmOptions.data();
    initArgs.ignoreUnrecognized = JNI_TRUE;
    JNIEnv *env = nullptr;
    jint rc = create(&gVm, reinterpret_cast<void **>(&env), &initArgs);
    if (rc != JNI_OK) {
        say("JNI_CreateJavaVM returned " + std::to_string(rc));
        return 4;
    }
    gMainEnv = env;
    if (unexpectedCall) {
        jclass s = env->FindClass("java/lang/String");
        env->GetSuperclass(s);
        say("GetSuperclass returned");
    }
    if (foreignEnv) {
        HANDLE t = CreateThread(nullptr, 0, foreignEnvThread, nullptr, 0, nullptr);
        WaitForSingleObject(t, 120000);
        say("foreign use of the JNIEnv returned");
    }

    bool runMain = true;
    if (firstRun) {
        jclass fr = env->FindClass("com/marlowkit/runtime/launcher/FirstRun");
        jmethodID m = fr ? env->GetStaticMethodID(fr, "firstRun", "()Z") : nullptr;
        if (!m) {
            say("no first-run class or method");
            return 7;
        }
        jboolean ok = env->CallStaticBooleanMethod(fr, m);
        if (env->ExceptionOccurred()) {
            env->ExceptionDescribe();
            runMain = false;
        } else {
            runMain = ok == JNI_TRUE;
        }
        if (!runMain) say("firstRun stopped the launch");
    }

    HANDLE poller = nullptr;
    if (runMain) {
        jclass cls = env->FindClass(className.c_str());
        if (!cls) {
            say("could not find class " + className);
            return 5;
        }
        jmethodID mainId = env->GetStaticMethodID(cls, "main", "([Ljava/lang/String;)V");
        if (!mainId) {
            say("could not find main");
            return 6;
        }
        jclass stringClass = env->FindClass("java/lang/String");
        jobjectArray array = env->NewObjectArray(static_cast<jsize>(args.size()), stringClass, nullptr);
        for (size_t k = 0; k < args.size(); ++k) {
            jstring s = env->NewString(reinterpret_cast<const jchar *>(args[k].c_str()), static_cast<jsize>(args[k].size()));
            env->SetObjectArrayElement(array, static_cast<jsize>(k), s);
        }
        if (gPolls > 0) {
            gPollStart = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            poller = CreateThread(nullptr, 0, pollThread, nullptr, 0, nullptr);
            WaitForSingleObject(gPollStart, 120000);
        }
        env->CallStaticVoidMethod(cls, mainId, array);
        if (env->ExceptionOccurred()) {
            say("main threw");
            env->ExceptionDescribe();
            if (poller) WaitForSingleObject(poller, 120000);
            return 1;
        }
    }
    if (destroy) gVm->DestroyJavaVM();
    if (poller) WaitForSingleObject(poller, 120000);
    return 0;
}
