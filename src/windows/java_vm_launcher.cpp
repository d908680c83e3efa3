// JavaVMLauncher: the launcher's system properties, the creation of the VM, the
// first-run check, the call of the launcher class's main and the destruction of
// the VM. Free of windows.h: the same code runs against libjvm.so on the host.
#include "java_vm_launcher.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "expand.h"
#include "files/paths.h"
#include "java_vm_launcher_platform.h"
#include "launcher/config.h"
#include "launcher/errors.h"
#include "launcher/log.h"
#include "launcher/texts.h"
#include "options.h"
#include "options_platform.h"
#include "windows/args.h"

namespace {

// Written once by the main thread before main is called, read by the splash thread.
std::atomic<JavaVM*> gVm{nullptr};
std::atomic<bool> gVmExists{false};

// Belongs to the main thread.
JNIEnv* gEnv = nullptr;
LaunchFailure* gFailure = nullptr;

LaunchFailure& failure() {
    if (!gFailure) gFailure = new LaunchFailure();
    return *gFailure;
}

std::string dotted(std::string name) {
    for (char& c : name)
        if (c == '/') c = '.';
    return name;
}

// The text of a Java string in the ANSI code page ("" for null).
std::string narrowText(JNIEnv* env, jstring string) {
    if (!string) return std::string();
    const jchar* chars = env->GetStringChars(string, nullptr);
    if (!chars) {
        env->ExceptionClear();
        return std::string();
    }
    std::u16string wide(reinterpret_cast<const char16_t*>(chars), static_cast<size_t>(env->GetStringLength(string)));
    env->ReleaseStringChars(string, chars);
    std::string text = fromUtf16(wide, 0);
    if (text.size() > 8191) text.resize(8191);
    return text;
}

// The text of a throwable as its toString gives it ("class: message"), "" when it cannot be had.
std::string throwableText(JNIEnv* env, jthrowable thrown) {
    jclass throwableClass = env->FindClass("java/lang/Throwable");
    jmethodID toString =
        throwableClass ? env->GetMethodID(throwableClass, "toString", "()Ljava/lang/String;") : nullptr;
    if (env->ExceptionCheck() || !toString) {
        env->ExceptionClear();
        return std::string();
    }
    jstring text = static_cast<jstring>(env->CallObjectMethod(thrown, toString));
    if (env->ExceptionCheck()) {
        env->ExceptionClear();
        return std::string();
    }
    return narrowText(env, text);
}

constexpr size_t kPropertyLimit = 8191;
constexpr size_t kWideTextLimit = 8191;
const char16_t kFormatAsDefaultPrefix[] = u"-Dsun.locale.formatasdefault=";

typedef jint(JNICALL* CreateJavaVmFunction)(JavaVM**, void**, void*);

// True while JNI_CreateJavaVM runs (main thread only).
std::atomic<bool> gCreating{false};

// The VM's "abort" hook. A VM that gives up while it is being created (HotSpot with a
// heap it cannot reserve, for example) ends the process itself, its explanation on
// standard output only: a GUI user would see nothing. Once the VM exists the hook
// does nothing (a crash report, for example, goes on as the VM does it). An exit the
// program asks for (System.exit, also from an agent while the VM starts) is no abort.
// What the VM printed while it was being created (the creating thread writes, the abort hook
// reads on the same thread).
std::string* gCreationOutput = nullptr;

void JNICALL vmAbortHook() {
    if (!gCreating.load()) return;
    logError("the JVM gave up while it was being created");
    std::string reason = vmCreationOutput();
    std::string details = "\n\nJava gave up while starting" + (reason.empty() ? std::string(".") : ": " + reason);
    fatalMessage(CFG_MSG_JVM_START_FAILED, nullptr, details.c_str());
}

std::string bounded(std::string text) {
    if (text.size() > kPropertyLimit) text.resize(kPropertyLimit);
    return text;
}

bool startsWith(const std::u16string& text, const char16_t* prefix) {
    return text.compare(0, std::char_traits<char16_t>::length(prefix), prefix) == 0;
}

// A log file name for the Java side: expanded, made absolute unless it begins with "$".
std::u16string logFileArgument(int32_t id) {
    std::string name = getConfigString(id);
    expandVariables(name);
    if (!name.empty() && name[0] != '$') name = getFullPath(name, true);
    return toUtf16(name, fileCodePage());
}

// The VM could not allocate what main needs: an internal error that ends the process.
[[noreturn]] void argumentArrayFailed(JNIEnv* env) {
    logError("could not build the argument array of main");
    if (env->ExceptionOccurred()) env->ExceptionDescribe();
    fatalMessage(CFG_MSG_INTERNAL_ERROR, internal_error::kArgumentArray);
}

}  // namespace

const LaunchFailure& launchFailure() { return failure(); }

std::string createVmResultText(int result) {
    switch (result) {
        case JNI_OK:
            return std::string();
        case JNI_ENOMEM:
            return "Java reported that there is not enough memory (JNI_CreateJavaVM returned -4).";
        case JNI_EINVAL:
            return "Java refused one of the options it was given (JNI_CreateJavaVM returned -6).";
        case JNI_EEXIST:
            return "A Java VM already runs in this process (JNI_CreateJavaVM returned -5).";
        case JNI_EVERSION:
            return "This Java does not support the interface version asked for (JNI_CreateJavaVM returned -3).";
        default:
            return "JNI_CreateJavaVM returned " + std::to_string(result) + ".";
    }
}

LaunchFailure exceptionFailure(const std::string& exceptionText, const std::string& mainClass) {
    LaunchFailure f;
    size_t colon = exceptionText.find(": ");
    std::string exceptionClass = exceptionText.substr(0, colon);
    std::string message = colon == std::string::npos ? std::string() : exceptionText.substr(colon + 2);
    if (exceptionClass == "java.lang.ClassNotFoundException" && !mainClass.empty() && !message.empty() &&
        dotted(message) == dotted(mainClass)) {
        f.id = CFG_MSG_MAIN_CLASS_NOT_LOADED;
        f.argument = dotted(message);
        return f;
    }
    f.id = CFG_MSG_STARTUP_ERROR;
    f.argument = exceptionText.empty() ? std::string("an exception") : exceptionText;
    return f;
}

JavaVM* javaVm() { return gVm.load(); }

void noteVmOutput(const char* text) {
    if (!gCreating.load()) return;
    if (!gCreationOutput) gCreationOutput = new std::string();
    gCreationOutput->append(text);
    // Only the end matters: the VM's reason is its last line.
    if (gCreationOutput->size() > 4096) gCreationOutput->erase(0, gCreationOutput->size() - 4096);
}

std::string vmCreationOutput() {
    if (!gCreationOutput) return std::string();
    std::string text = *gCreationOutput;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    size_t end = text.find_last_of("\r\n");
    return end == std::string::npos ? text : text.substr(end + 1);
}

bool vmExists() { return gVmExists.load(); }

std::string launcherClassName() {
    std::string name = marlowkitFlavour() ? "com/marlowkit/runtime/launcher/WinLauncher" : "com/tovex/runtime/WinLauncher";
    for (char& c : name)
        if (c == '.') c = '/';
    return name;
}

std::vector<std::string> buildLauncherProperties() {
    std::vector<std::string> properties;
    std::string semaphore;
    if (launcherSemaphoreName(&semaphore)) properties.push_back(bounded("-Dtovex.semaphoreName=" + semaphore));
    if (marlowkitFlavour()) properties.push_back("-Dtovex.isMarlowkit=true");
    properties.push_back(bounded("-Dtovex.moduleName=" + getModulePath()));
    properties.push_back(bounded("-Dsun.java.command=" + getModulePath()));
    if (getConfigFlag(CFG_SINGLE_INSTANCE))
        properties.push_back(bounded("-Dtovex.processCommFile=" + launcherProcessCommFile(currentProcessId())));
    properties.push_back(bounded("-Dtovex.tempDir=" + launcherTempDir()));
    int32_t position = launcherLanguageRestart() ? -1 : launcherUnextractedPosition();
    properties.push_back("-Dtovex.unextractedPosition=" + std::to_string(position));
    std::string path;
    readEnvironment("PATH", &path);
    std::string libraryPath = "-Djava.library.path=" + path;
    // A PATH that does not fit is left out whole rather than cut inside an entry.
    properties.push_back(libraryPath.size() > kPropertyLimit ? std::string("-Djava.library.path=") : libraryPath);
    if (!runtimeEnvironmentDefined("MANPATH"))
        properties.push_back("-Dtovex.consoleCodepage=cp" + std::to_string(consoleOutputCodePage()));
    return properties;
}

void buildLauncherArguments(std::vector<std::u16string>& list) {
    list.push_back(getConfigInt(CFG_EXE_TYPE) == 1 ? u"true" : u"false");
    list.push_back(toUtf16(getConfigString(CFG_MAIN_CLASS), 0));
    list.push_back(getConfigFlag(CFG_ERROR_LOG_ENABLED) ? logFileArgument(CFG_ERROR_LOG_FILE) : u"");
    list.push_back(getConfigFlag(CFG_OUTPUT_LOG_ENABLED) ? logFileArgument(CFG_OUTPUT_LOG_FILE) : u"");
    list.push_back(getConfigFlag(CFG_FIFTH_LAUNCHER_ARG) ? u"true" : u"false");
}

std::vector<std::u16string> buildMainArguments(const std::vector<std::u16string>& argumentList) {
    std::vector<std::u16string> list;
    buildLauncherArguments(list);
    if (!argumentList.empty()) list.push_back(argumentList[0]);
    std::string fixed = getConfigString(CFG_APP_ARGUMENTS);
    expandVariables(fixed);
    std::u16string wide = toUtf16(fixed, 0);
    if (wide.size() > kWideTextLimit) wide.resize(kWideTextLimit);
    splitArguments(wide, list);
    bool acceptJ = getConfigFlag(CFG_ACCEPT_J_ARGUMENTS);
    for (size_t i = 1; i < argumentList.size(); ++i) {
        const std::u16string& argument = argumentList[i];
        if (acceptJ && startsWith(argument, u"-J")) continue;
        if (startsWith(argument, kFormatAsDefaultPrefix)) continue;
        list.push_back(argument);
    }
    return list;
}

bool createVm(const std::vector<std::u16string>& argumentList, const std::vector<std::string>& launcherProperties) {
    // The VM keeps using the option strings: they live until the process ends.
    return createVmWithOptions(new std::vector<std::string>(buildVmOptions(argumentList, launcherProperties)));
}

bool createVmWithOptions(const std::vector<std::string>* options) {
    // After the options: the abort hook, and the VM's output hook when there is one (with the log on).
    void* outputHook = vmOutputHook();
    size_t count = options->size() + 1 + (outputHook ? 1 : 0);
    JavaVMOption* vmOptions = new JavaVMOption[count];
    for (size_t i = 0; i < options->size(); ++i) {
        vmOptions[i].optionString = const_cast<char*>((*options)[i].c_str());
        vmOptions[i].extraInfo = nullptr;
    }
    size_t next = options->size();
    // The invocation interface's abort hook (no option text of the list).
    vmOptions[next].optionString = const_cast<char*>("abort");
    vmOptions[next++].extraInfo = reinterpret_cast<void*>(&vmAbortHook);
    if (outputHook) {
        vmOptions[next].optionString = const_cast<char*>("vfprintf");
        vmOptions[next++].extraInfo = outputHook;
    }
    JavaVMInitArgs* initArgs = new JavaVMInitArgs();
    initArgs->version = 0x10002;
    initArgs->nOptions = static_cast<jint>(count);
    initArgs->options = vmOptions;
    initArgs->ignoreUnrecognized = JNI_TRUE;

    logMessage("Creating JVM");
    CreateJavaVmFunction create = reinterpret_cast<CreateJavaVmFunction>(jniCreateJavaVmEntry());
    if (!create) {
        logError("no JNI_CreateJavaVM entry");
        return false;
    }
    JavaVM* vm = nullptr;
    gCreating.store(true);
    jint result = create(&vm, reinterpret_cast<void**>(&gEnv), initArgs);
    gCreating.store(false);
    if (result != JNI_OK) {
        logError("JNI_CreateJavaVM returned %d", static_cast<int>(result));
        failure().id = CFG_MSG_JVM_START_FAILED;
        failure().details = "\n\n" + createVmResultText(result);
        return false;
    }
    gVm.store(vm);
    return true;
}

bool checkFirstRun() {
    std::string marker = getFullPath(getConfigString(CFG_INSTALLATION_ROOT), true);
    if (!marker.empty() && marker.back() == '\\') marker.pop_back();
    marker += "\\.marlowkit\\firstrun";
    if (!optionPathExists(marker)) return true;
    JNIEnv* env = gEnv;
    jclass firstRunClass = env->FindClass("com/marlowkit/runtime/launcher/FirstRun");
    if (!firstRunClass) fatalMessage(CFG_MSG_INTERNAL_ERROR, internal_error::kFirstRunClass);
    jmethodID firstRun = env->GetStaticMethodID(firstRunClass, "firstRun", "()Z");
    if (!firstRun) fatalMessage(CFG_MSG_INTERNAL_ERROR, internal_error::kFirstRunMethod);
    jboolean result = env->CallStaticBooleanMethod(firstRunClass, firstRun);
    if (env->ExceptionOccurred()) {
        env->ExceptionDescribe();
        return false;
    }
    return result == JNI_TRUE;
}

bool callMain(const std::vector<std::u16string>& argumentList) {
    JNIEnv* env = gEnv;
    if (marlowkitFlavour() && !checkFirstRun()) {
        logMessage("checkFirstRun stopped further execution");
        return true;
    }
    std::string className = launcherClassName();
    logMessage("main class: %s", className.c_str());
    jclass launcherClass = env->FindClass(className.c_str());
    if (!launcherClass) {
        env->ExceptionClear();
        logError("could not find main class %s: the runtime jar is not on the class path", className.c_str());
        fatalMessage(CFG_MSG_MAIN_CLASS_NOT_LOADED, dotted(className).c_str());
    }
    jmethodID main = env->GetStaticMethodID(launcherClass, "main", "([Ljava/lang/String;)V");
    if (!main) {
        env->ExceptionClear();
        logError("could not find main method of %s", className.c_str());
        fatalMessage(CFG_MSG_MAIN_METHOD_NOT_FOUND, dotted(className).c_str());
    }

    std::vector<std::u16string> arguments = buildMainArguments(argumentList);
    logMessage("param count: %d", static_cast<int>(arguments.size()));
    jclass stringClass = env->FindClass("java/lang/String");
    if (!stringClass) argumentArrayFailed(env);
    jobjectArray array = env->NewObjectArray(static_cast<jsize>(arguments.size()), stringClass, nullptr);
    if (!array) argumentArrayFailed(env);
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::u16string& argument = arguments[i];
        logMessage("param %d: %s", static_cast<int>(i), fromUtf16(argument, fileCodePage()).c_str());
        // UTF-16 units as they are: no code-page conversion on the way to Java.
        jstring text = env->NewString(reinterpret_cast<const jchar*>(argument.data()),
                                      static_cast<jsize>(argument.size()));
        if (!text) argumentArrayFailed(env);
        env->SetObjectArrayElement(array, static_cast<jsize>(i), text);
        if (env->ExceptionOccurred()) argumentArrayFailed(env);
    }

    logMessage("calling main");
    env->CallStaticVoidMethod(launcherClass, main, array);
    logMessage("main returned");
    if (jthrowable thrown = env->ExceptionOccurred()) {
        env->ExceptionDescribe();  // the stack trace on standard error; clears the exception
        std::string text = throwableText(env, thrown);
        logError("an exception occurred in main: %s", text.c_str());
        failure() = exceptionFailure(text, getConfigString(CFG_MAIN_CLASS));
        return false;
    }
    return true;
}

uint64_t mainThreadStackSize(const std::vector<std::string>& options) {
    uint64_t size = 0;
    for (const std::string& option : options) {
        if (option.compare(0, 4, "-Xss") != 0) continue;
        // The VM takes the last one; a value it would refuse leaves the stack as it is.
        size = 0;
        const char* text = option.c_str() + 4;
        if (*text < '0' || *text > '9') continue;
        uint64_t value = 0;
        bool overflow = false;
        for (; *text >= '0' && *text <= '9'; ++text) {
            if (value > (UINT64_MAX - 9) / 10) overflow = true;
            value = value * 10 + static_cast<uint64_t>(*text - '0');
        }
        uint64_t unit = 1;
        switch (*text) {
            case '\0': break;
            case 'k': case 'K': unit = 1ull << 10; ++text; break;
            case 'm': case 'M': unit = 1ull << 20; ++text; break;
            case 'g': case 'G': unit = 1ull << 30; ++text; break;
            default: continue;
        }
        if (*text != '\0' || overflow || value > kMaxMainThreadStack / unit) continue;
        size = value * unit;
    }
    return size;
}

namespace {

struct Launch {
    const std::vector<std::u16string>* argumentList;
    const std::vector<std::string>* options;
    bool destroyAfterMain;
    bool result;
};

// Everything from the VM's creation to its destruction, on one thread: the VM makes the
// thread that creates it the Java program's main thread.
void runLaunch(void* context) {
    Launch& launch = *static_cast<Launch*>(context);
    launch.result = false;
    if (!createVmWithOptions(launch.options)) {
        logError("could not initialize JVM");
        if (failure().id == CFG_MSG_JVM_START_FAILED && failure().details.empty())
            failure().details = "\n\nThe VM library has no JNI_CreateJavaVM function.";
        return;
    }
    logMessage("JVM created");
    gVmExists.store(true);
    if (!callMain(*launch.argumentList)) {
        logError("could not call main");
        return;
    }
    if (launch.destroyAfterMain) {
        logMessage("dest JVM");
        // Waits for the program's remaining non-daemon threads; the result does not matter.
        gVm.load()->DestroyJavaVM();
    }
    logMessage("launch done");
    launch.result = true;
}

}  // namespace

bool launchProgram(const std::vector<std::u16string>& argumentList, bool destroyAfterMain) {
    logMessage("launching program");
    std::vector<std::string> properties = buildLauncherProperties();
    // The VM keeps using the option strings: they live until the process ends.
    const std::vector<std::string>* options = new std::vector<std::string>(buildVmOptions(argumentList, properties));
    Launch launch{&argumentList, options, destroyAfterMain, false};
    // The program's main runs on the thread that creates the VM, and -Xss does not reach a
    // thread that exists already: with -Xss, that thread is a new one with a stack of that size,
    // as the JDK's own launcher does it. Without, the VM runs on this thread as always.
    uint64_t stack = mainThreadStackSize(*options);
    if (stack == 0) {
        runLaunch(&launch);
        return launch.result;
    }
    logMessage("main thread stack: %s bytes (-Xss)", std::to_string(stack).c_str());
    if (!runOnNewThread(stack, runLaunch, &launch)) {
        logError("could not start a thread with that stack; the VM runs on the launcher's thread");
        runLaunch(&launch);
    }
    return launch.result;
}
