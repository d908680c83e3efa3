// Stand-in jvm.dll: the Java invocation interface and the JNI functions a launcher needs.
//
// Side files beside the DLL (see testing/README.md):
//   jvm.cfg         "mode record" (default) or "mode bridge"; "java PATH" (host java for bridge mode)
//   script.txt      what the VM does (record mode; bridge mode honours the VM-level verbs)
//   transcript.log  one line per JNI/invocation call, appended
#define _JNI_IMPLEMENTATION_
#include <jni.h>

#include "bridge.h"
#include "jni_slots.h"
#include "standin_common.h"

#include <cstring>
#include <map>
#include <set>
#include <utility>

namespace {

constexpr int kExitUnexpectedCall = 97;  // a JNI slot the stand-in does not offer was called
constexpr int kExitMisuse = 98;          // invalid or deleted reference, foreign JNIEnv, wrong call type
constexpr DWORD kWaitLimitMs = 120000;   // bound of every wait the script asks for

HMODULE gModule = nullptr;
std::wstring gDir;
CRITICAL_SECTION gLock;
CONDITION_VARIABLE gThreadsChanged;

// ---- transcript ------------------------------------------------------------------------------

void record(const std::string &line) {
    EnterCriticalSection(&gLock);
    standin::appendFile(gDir + L"transcript.log", line + "\n");
    LeaveCriticalSection(&gLock);
}

[[noreturn]] void failLoudly(int code, const std::string &what) {
    record(what);
    standin::writeStdErr("stand-in jvm.dll: " + what + "\n");
    ExitProcess(static_cast<UINT>(code));
}

std::string hex(unsigned value) {
    char buf[16];
    snprintf(buf, sizeof buf, "0x%x", value);
    return buf;
}

std::string u16ToUtf8(const std::u16string &s) {
    return standin::toUtf8(reinterpret_cast<const wchar_t *>(s.data()), static_cast<int>(s.size()));
}

std::u16string utf8ToU16(const std::string &s) {
    std::wstring w = standin::fromUtf8(s);
    return std::u16string(reinterpret_cast<const char16_t *>(w.data()), w.size());
}

// ---- objects and references ----------------------------------------------------------------

struct Obj {
    enum Kind { Class, String, Array, Throwable } kind;
    std::string name;              // class: slash name; array: element class; throwable: dotted class
    std::u16string text;           // string: its characters; throwable: message
    std::string describe;          // throwable: what ExceptionDescribe prints
    std::vector<Obj *> elements;   // array
};

struct Ref {
    Obj *obj;
    bool global;
    bool deleted;
};

struct Method {
    Obj *cls;
    std::string name;
    std::string sig;
    char ret;  // 'V', 'Z', 'I', 'J', 'L' (objects and arrays), ...
};

struct Env {
    const JNINativeInterface_ *functions;
    DWORD thread;
    bool daemon;
    Obj *pending;
};

struct Vm {
    const JNIInvokeInterface_ *functions;
};

JNINativeInterface_ gTable;
JNIInvokeInterface_ gInvoke;
Vm gVm = {&gInvoke};
bool gCreated = false;
bool gBridge = false;
DWORD gCreatorThread = 0;

std::set<Ref *> gRefs;
std::set<Method *> gMethods;
std::map<DWORD, Env *> gEnvs;
std::map<std::string, Obj *> gClasses;

// ---- script --------------------------------------------------------------------------------

struct Script {
    bool createFail = false;
    int createCode = JNI_ERR;
    std::set<std::string> missingClasses;
    std::set<std::string> missingMethods;
    std::vector<std::pair<std::string, std::string>> mainSteps;  // verb, argument
    std::string firstRun = "true";
    std::vector<int> actions;
    size_t nextAction = 0;
    bool controllerScripted = false;
    bool firstRunScripted = false;
    std::vector<std::pair<bool, std::string>> texts;  // (is null, text)
    size_t nextText = 0;
    std::vector<std::wstring> threadsWaitGone;
};
Script gScript;

// Parses "a","b",null (C escapes inside the quotes).
std::vector<std::pair<bool, std::string>> parseTexts(const std::string &s) {
    std::vector<std::pair<bool, std::string>> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == ',' || s[i] == '\t')) ++i;
        if (i >= s.size()) break;
        if (s[i] == '"') {
            std::string text;
            ++i;
            while (i < s.size() && s[i] != '"') {
                char c = s[i++];
                if (c == '\\' && i < s.size()) {
                    char e = s[i++];
                    if (e == 'n') c = '\n';
                    else if (e == 't') c = '\t';
                    else if (e == 'r') c = '\r';
                    else if (e == 'x' && i + 1 < s.size()) {
                        c = static_cast<char>(strtol(s.substr(i, 2).c_str(), nullptr, 16));
                        i += 2;
                    } else c = e;
                }
                text += c;
            }
            ++i;
            out.emplace_back(false, text);
        } else {
            size_t end = s.find(',', i);
            std::string word = standin::trim(s.substr(i, end == std::string::npos ? std::string::npos : end - i));
            out.emplace_back(word == "null", word == "null" ? std::string() : word);
            i = end == std::string::npos ? s.size() : end;
        }
    }
    return out;
}

void loadScript() {
    gScript = Script();
    std::string text;
    standin::readFile(gDir + L"script.txt", text);
    for (const std::string &raw : standin::splitLines(text)) {
        std::string line = standin::trim(raw);
        if (line.empty() || line[0] == '#') continue;
        size_t sp = line.find(' ');
        std::string verb = line.substr(0, sp);
        std::string rest = sp == std::string::npos ? std::string() : standin::trim(line.substr(sp + 1));
        if (verb == "create") {
            gScript.createFail = rest.rfind("fail", 0) == 0;
            if (rest.size() > 4) gScript.createCode = atoi(rest.c_str() + 4);
        } else if (verb == "missing") {
            size_t sp2 = rest.find(' ');
            std::string kind = rest.substr(0, sp2);
            std::string name = sp2 == std::string::npos ? std::string() : standin::trim(rest.substr(sp2 + 1));
            if (kind == "class") {
                for (auto &c : name)
                    if (c == '.') c = '/';
                gScript.missingClasses.insert(name);
            } else if (kind == "method") {
                gScript.missingMethods.insert(name);
            }
        } else if (verb == "main") {
            size_t sp2 = rest.find(' ');
            std::string step = rest.substr(0, sp2);
            std::string arg = sp2 == std::string::npos ? std::string() : standin::trim(rest.substr(sp2 + 1));
            if (step == "thread-wait-gone") gScript.threadsWaitGone.push_back(standin::windowsPathOf(arg));
            gScript.mainSteps.emplace_back(step, arg);
        } else if (verb == "firstrun") {
            gScript.firstRun = rest;
            gScript.firstRunScripted = true;
        } else if (verb == "actions") {
            gScript.controllerScripted = true;
            size_t i = 0;
            while (i < rest.size()) {
                size_t end = rest.find(',', i);
                std::string item = standin::trim(rest.substr(i, end == std::string::npos ? std::string::npos : end - i));
                if (!item.empty()) gScript.actions.push_back(atoi(item.c_str()));
                i = end == std::string::npos ? rest.size() : end + 1;
            }
        } else if (verb == "texts") {
            gScript.controllerScripted = true;
            gScript.texts = parseTexts(rest);
        } else {
            record("script: unknown line " + standin::escapeField(line));
        }
    }
}

// ---- helpers over references ---------------------------------------------------------------

Env *envOf(JNIEnv *jenv, const char *function) {
    Env *env = reinterpret_cast<Env *>(jenv);
    EnterCriticalSection(&gLock);
    bool known = false;
    for (auto &kv : gEnvs)
        if (kv.second == env) known = true;
    LeaveCriticalSection(&gLock);
    if (!known) failLoudly(kExitMisuse, std::string("misuse: ") + function + " called with an unknown JNIEnv");
    if (env->thread != GetCurrentThreadId())
        failLoudly(kExitMisuse, std::string("misuse: ") + function + " called with the JNIEnv of thread " +
                                    std::to_string(env->thread) + " on thread " + std::to_string(GetCurrentThreadId()));
    if (env->pending && strcmp(function, "ExceptionOccurred") != 0 && strcmp(function, "ExceptionCheck") != 0 &&
        strcmp(function, "ExceptionDescribe") != 0 && strcmp(function, "ExceptionClear") != 0 &&
        strcmp(function, "DeleteLocalRef") != 0 && strcmp(function, "DeleteGlobalRef") != 0 &&
        strncmp(function, "Release", 7) != 0)
        record(std::string("warning: ") + function + " called while an exception is pending");
    return env;
}

jobject newRef(Obj *obj, bool global = false) {
    if (!obj) return nullptr;
    Ref *ref = new Ref{obj, global, false};
    EnterCriticalSection(&gLock);
    gRefs.insert(ref);
    LeaveCriticalSection(&gLock);
    return reinterpret_cast<jobject>(ref);
}

// The object behind a reference; null stays null; a foreign or deleted reference ends the process.
Obj *deref(jobject handle, const char *function, bool allowNull = true) {
    if (!handle) {
        if (!allowNull) failLoudly(kExitMisuse, std::string("misuse: ") + function + " given a null reference");
        return nullptr;
    }
    Ref *ref = reinterpret_cast<Ref *>(handle);
    EnterCriticalSection(&gLock);
    bool known = gRefs.count(ref) != 0;
    LeaveCriticalSection(&gLock);
    if (!known) failLoudly(kExitMisuse, std::string("misuse: ") + function + " given an invalid reference");
    if (ref->deleted) failLoudly(kExitMisuse, std::string("misuse: ") + function + " given a deleted reference");
    return ref->obj;
}

Obj *derefKind(jobject handle, Obj::Kind kind, const char *function) {
    Obj *obj = deref(handle, function, false);
    if (obj->kind != kind) failLoudly(kExitMisuse, std::string("misuse: ") + function + " given a reference of the wrong kind");
    return obj;
}

Obj *classObj(const std::string &name) {
    EnterCriticalSection(&gLock);
    Obj *&slot = gClasses[name];
    if (!slot) slot = new Obj{Obj::Class, name, {}, {}, {}};
    Obj *obj = slot;
    LeaveCriticalSection(&gLock);
    return obj;
}

Obj *newThrowable(const std::string &dottedClass, const std::string &message, const std::string &describe) {
    Obj *t = new Obj{Obj::Throwable, dottedClass, utf8ToU16(message), describe, {}};
    if (t->describe.empty()) {
        t->describe = "Exception in thread \"main\" " + dottedClass + (message.empty() ? "" : ": " + message) + "\n";
    }
    return t;
}

void throwNew(Env *env, const std::string &dottedClass, const std::string &message) {
    env->pending = newThrowable(dottedClass, message, std::string());
    record("throw " + dottedClass + (message.empty() ? "" : ": " + standin::escapeField(message)));
}

// ---- unexpected slots ----------------------------------------------------------------------

[[noreturn]] void unexpected(int slot) {
    const char *name = slot < kJniSlotCount ? kJniSlotNames[slot] : "?";
    failLoudly(kExitUnexpectedCall, "unexpected JNI call " + std::to_string(slot) + " " + name);
}

template <int N>
jint JNICALL unexpectedSlot(JNIEnv *) {
    unexpected(N);
}

template <size_t... I>
void fillUnexpected(void **slots, std::index_sequence<I...>) {
    ((slots[I] = reinterpret_cast<void *>(&unexpectedSlot<static_cast<int>(I)>)), ...);
}

// ---- JNI functions -------------------------------------------------------------------------

// In bridge mode the splash controller and the first-run class are answered by the script when it
// names them (actions/texts, firstrun); otherwise the host VM answers.
bool scriptedInBridge(const std::string &slashName) {
    if (slashName == "com/tovex/runtime/TovexController") return gScript.controllerScripted;
    if (slashName == "com/marlowkit/runtime/launcher/FirstRun") return gScript.firstRunScripted;
    return false;
}

jint JNICALL jGetVersion(JNIEnv *jenv) {
    envOf(jenv, "GetVersion");
    record("getversion -> 0x10008");
    return JNI_VERSION_1_8;
}

jclass JNICALL jFindClass(JNIEnv *jenv, const char *name) {
    Env *env = envOf(jenv, "FindClass");
    std::string n = name ? name : "";
    record("findclass " + standin::escapeField(n));
    bool missing = gScript.missingClasses.count(n) != 0;
    if (!missing && gBridge && !scriptedInBridge(n) && !bridge::findClass(n)) missing = true;
    if (missing) {
        throwNew(env, "java.lang.NoClassDefFoundError", n);
        return nullptr;
    }
    return reinterpret_cast<jclass>(newRef(classObj(n)));
}

jmethodID JNICALL jGetStaticMethodID(JNIEnv *jenv, jclass cls, const char *name, const char *sig) {
    Env *env = envOf(jenv, "GetStaticMethodID");
    Obj *c = derefKind(cls, Obj::Class, "GetStaticMethodID");
    std::string n = name ? name : "", s = sig ? sig : "";
    record("method " + standin::escapeField(n) + " " + standin::escapeField(s));
    size_t close = s.find(')');
    bool missing = gScript.missingMethods.count(n) != 0 || s.empty() || s[0] != '(' || close == std::string::npos ||
                   close + 1 >= s.size();
    if (!missing && gBridge && !scriptedInBridge(c->name) && !bridge::hasMethod(c->name, n, s)) missing = true;
    if (missing) {
        throwNew(env, "java.lang.NoSuchMethodError", n);
        return nullptr;
    }
    char ret = s[close + 1] == '[' ? 'L' : s[close + 1];
    Method *m = new Method{c, n, s, ret};
    EnterCriticalSection(&gLock);
    gMethods.insert(m);
    LeaveCriticalSection(&gLock);
    return reinterpret_cast<jmethodID>(m);
}

// Arguments of a call in a uniform form, read by the method's signature.
std::vector<jvalue> readArgs(const std::string &sig, va_list *ap, const jvalue *array) {
    std::vector<jvalue> out;
    size_t i = 1;
    while (i < sig.size() && sig[i] != ')') {
        jvalue v;
        v.j = 0;
        char t = sig[i];
        size_t next = i + 1;
        if (t == 'L') {
            next = sig.find(';', i) + 1;
        } else if (t == '[') {
            size_t k = i;
            while (k < sig.size() && sig[k] == '[') ++k;
            next = sig[k] == 'L' ? sig.find(';', k) + 1 : k + 1;
            t = 'L';
        }
        if (array) {
            v = array[out.size()];
        } else {
            switch (t) {
                case 'L': v.l = va_arg(*ap, jobject); break;
                case 'J': v.j = va_arg(*ap, jlong); break;
                case 'F': v.f = static_cast<jfloat>(va_arg(*ap, double)); break;
                case 'D': v.d = va_arg(*ap, double); break;
                default: v.i = va_arg(*ap, jint); break;
            }
        }
        out.push_back(v);
        i = next;
    }
    return out;
}

bool waitForPath(const std::wstring &path, bool exists) {
    ULONGLONG deadline = GetTickCount64() + kWaitLimitMs;
    while (standin::fileExists(path) != exists) {
        if (GetTickCount64() > deadline) return false;
        Sleep(10);
    }
    return true;
}

// "main window TITLE": a visible top-level window of the Java program, owned by a thread of its own with a
// message loop (like a toolkit's event thread); it stays until the process ends.
struct WindowRequest {
    std::wstring title;
    HANDLE shown;
};

LRESULT CALLBACK appWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(hwnd, msg, wp, lp); }

DWORD WINAPI appWindowThread(LPVOID param) {
    WindowRequest *req = static_cast<WindowRequest *>(param);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = appWindowProc;
    wc.hInstance = gModule;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"StandinJavaWindow";
    RegisterClassW(&wc);  // fails harmlessly for a second window
    HWND hwnd = CreateWindowExW(0, L"StandinJavaWindow", req->title.c_str(), WS_OVERLAPPEDWINDOW, 40, 40, 320, 200,
                                nullptr, nullptr, gModule, nullptr);
    if (hwnd) {
        ShowWindow(hwnd, SW_SHOW);
        UpdateWindow(hwnd);
    }
    SetEvent(req->shown);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

bool openAppWindow(const std::string &title) {
    WindowRequest *req = new WindowRequest{standin::fromUtf8(title), CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HANDLE t = CreateThread(nullptr, 0, appWindowThread, req, 0, nullptr);
    if (!t) return false;
    CloseHandle(t);
    return WaitForSingleObject(req->shown, kWaitLimitMs) == WAIT_OBJECT_0;  // req lives on with the thread
}

std::string stringText(Obj *obj) { return obj ? u16ToUtf8(obj->text) : std::string(); }

// main of the launcher class, record mode: the script's main steps in order.
void runScriptedMain(Env *env) {
    for (const auto &step : gScript.mainSteps) {
        const std::string &verb = step.first;
        const std::string &arg = step.second;
        if (verb == "exit") {
            record("main exit " + std::to_string(atoi(arg.c_str())));
            ExitProcess(static_cast<UINT>(atoi(arg.c_str())));
        } else if (verb == "throw") {
            size_t sp = arg.find(' ');
            std::string cls = arg.empty() ? "java.lang.RuntimeException" : arg.substr(0, sp);
            std::string message = arg.empty() ? "thrown by the script" : sp == std::string::npos ? "" : arg.substr(sp + 1);
            Obj *t = newThrowable(cls, message, std::string());
            t->describe += "\tat com.tovex.standin.Script.main(Script.java)\n";
            env->pending = t;
            record("main throw " + cls + (message.empty() ? "" : ": " + standin::escapeField(message)));
            return;
        } else if (verb == "wait-exists" || verb == "wait-gone") {
            record("main " + verb + " " + standin::escapeField(arg));
            bool ok = waitForPath(standin::windowsPathOf(arg), verb == "wait-exists");
            record(ok ? "main waited" : "main wait timed out");
        } else if (verb == "touch") {
            standin::writeFile(standin::windowsPathOf(arg), std::string());
            record("main touch " + standin::escapeField(arg));
        } else if (verb == "stdout") {
            standin::writeStdOut(arg + "\n");
            record("main stdout " + standin::escapeField(arg));
        } else if (verb == "stderr") {
            standin::writeStdErr(arg + "\n");
            record("main stderr " + standin::escapeField(arg));
        } else if (verb == "window") {
            bool ok = openAppWindow(arg);
            record("main window " + standin::escapeField(arg) + (ok ? "" : " (failed)"));
        } else if (verb == "thread-wait-gone") {
            record("main thread-wait-gone " + standin::escapeField(arg));
        } else if (verb == "window") {
            // The application's first window: a visible top-level window of this process.
            HWND window = CreateWindowExA(0, "STATIC", arg.c_str(), WS_POPUP | WS_VISIBLE | WS_BORDER, 0, 0, 160, 90,
                                          nullptr, nullptr, nullptr, nullptr);
            record("main window " + standin::escapeField(arg) + (window ? "" : " (not created)"));
        } else {
            record("script: unknown main step " + standin::escapeField(verb));
        }
    }
}

jvalue callStatic(JNIEnv *jenv, jclass cls, jmethodID mid, char want, const char *function, va_list *ap,
                  const jvalue *array) {
    Env *env = envOf(jenv, function);
    Obj *c = derefKind(cls, Obj::Class, function);
    Method *m = reinterpret_cast<Method *>(mid);
    EnterCriticalSection(&gLock);
    bool known = gMethods.count(m) != 0;
    LeaveCriticalSection(&gLock);
    if (!known) failLoudly(kExitMisuse, std::string("misuse: ") + function + " given an invalid method id");
    if (m->ret != want)
        failLoudly(kExitMisuse, std::string("misuse: ") + function + " used for " + m->name + " " + m->sig);
    (void)c;
    std::vector<jvalue> args = readArgs(m->sig, ap, array);
    jvalue result;
    result.j = 0;

    if (m->name == "main" && m->sig == "([Ljava/lang/String;)V") {
        std::vector<std::string> texts;
        Obj *arr = args.empty() ? nullptr : deref(args[0].l, function);
        std::string lines;
        if (arr) {
            for (size_t i = 0; i < arr->elements.size(); ++i) {
                Obj *e = arr->elements[i];
                texts.push_back(stringText(e));
                lines += "arg " + std::to_string(i) + " " + (e ? standin::escapeField(texts.back()) : "null") + "\n";
            }
        }
        lines += "call main";
        record(lines);
        if (gBridge) {
            std::string cls, message, describe;
            if (!bridge::callMain(c->name, texts, cls, message, describe)) {
                env->pending = newThrowable(cls, message, describe);
                record("main threw " + cls + (message.empty() ? "" : ": " + standin::escapeField(message)));
                return result;
            }
        } else {
            runScriptedMain(env);
            if (env->pending) return result;
        }
        record("main returned");
        return result;
    }

    if (m->name == "firstRun" && m->sig == "()Z" && (!gBridge || scriptedInBridge(c->name))) {
        if (gScript.firstRun == "throw") {
            record("call firstRun -> throw");
            throwNew(env, "java.lang.IllegalStateException", "firstRun thrown by the script");
        } else {
            bool value = gScript.firstRun != "false";
            record(std::string("call firstRun -> ") + (value ? "true" : "false"));
            result.z = value ? JNI_TRUE : JNI_FALSE;
        }
        return result;
    }
    if (m->name == "getAction" && m->sig == "()I" && (!gBridge || scriptedInBridge(c->name))) {
        EnterCriticalSection(&gLock);
        int value = gScript.nextAction < gScript.actions.size() ? gScript.actions[gScript.nextAction++] : 0;
        LeaveCriticalSection(&gLock);
        record("call getAction -> " + std::to_string(value));
        result.i = value;
        return result;
    }
    if (m->name == "getText" && m->sig == "()Ljava/lang/String;" && (!gBridge || scriptedInBridge(c->name))) {
        EnterCriticalSection(&gLock);
        std::pair<bool, std::string> value(true, std::string());
        if (gScript.nextText < gScript.texts.size()) value = gScript.texts[gScript.nextText++];
        LeaveCriticalSection(&gLock);
        if (value.first) {
            record("call getText -> null");
        } else {
            record("call getText -> \"" + standin::escapeField(value.second) + "\"");
            result.l = newRef(new Obj{Obj::String, "java/lang/String", utf8ToU16(value.second), {}, {}});
        }
        return result;
    }
    if (gBridge) {
        std::string outcome, cls, message, describe;
        bool ok = bridge::callStatic(c->name, m->name, m->sig, outcome, cls, message, describe);
        if (!ok) {
            env->pending = newThrowable(cls, message, describe);
            record("call " + m->name + " -> throw " + cls);
            return result;
        }
        record("call " + m->name + " -> " + (outcome.empty() ? "void" : outcome));
        if (want == 'I') result.i = atoi(outcome.c_str());
        else if (want == 'Z') result.z = outcome == "true" ? JNI_TRUE : JNI_FALSE;
        else if (want == 'L' && outcome != "null" && outcome.size() >= 2 && outcome[0] == '"')
            result.l = newRef(new Obj{Obj::String, "java/lang/String", utf8ToU16(bridge::unescape(outcome.substr(1, outcome.size() - 2))), {}, {}});
        return result;
    }
    record("call " + m->name + " " + m->sig + " -> default");
    return result;
}

#define STATIC_CALLS(Type, Suffix, want, field)                                                              \
    Type JNICALL jCallStatic##Suffix##Method(JNIEnv *env, jclass c, jmethodID m, ...) {                      \
        va_list ap;                                                                                          \
        va_start(ap, m);                                                                                     \
        jvalue r = callStatic(env, c, m, want, "CallStatic" #Suffix "Method", &ap, nullptr);                 \
        va_end(ap);                                                                                          \
        return field;                                                                                        \
    }                                                                                                        \
    Type JNICALL jCallStatic##Suffix##MethodV(JNIEnv *env, jclass c, jmethodID m, va_list args) {            \
        va_list ap;                                                                                          \
        va_copy(ap, args);                                                                                   \
        jvalue r = callStatic(env, c, m, want, "CallStatic" #Suffix "MethodV", &ap, nullptr);                \
        va_end(ap);                                                                                          \
        return field;                                                                                        \
    }                                                                                                        \
    Type JNICALL jCallStatic##Suffix##MethodA(JNIEnv *env, jclass c, jmethodID m, const jvalue *args) {      \
        jvalue r = callStatic(env, c, m, want, "CallStatic" #Suffix "MethodA", nullptr, args);               \
        return field;                                                                                        \
    }

STATIC_CALLS(jboolean, Boolean, 'Z', r.z)
STATIC_CALLS(jint, Int, 'I', r.i)
STATIC_CALLS(jobject, Object, 'L', r.l)

void JNICALL jCallStaticVoidMethod(JNIEnv *env, jclass c, jmethodID m, ...) {
    va_list ap;
    va_start(ap, m);
    callStatic(env, c, m, 'V', "CallStaticVoidMethod", &ap, nullptr);
    va_end(ap);
}
void JNICALL jCallStaticVoidMethodV(JNIEnv *env, jclass c, jmethodID m, va_list args) {
    va_list ap;
    va_copy(ap, args);
    callStatic(env, c, m, 'V', "CallStaticVoidMethodV", &ap, nullptr);
    va_end(ap);
}
void JNICALL jCallStaticVoidMethodA(JNIEnv *env, jclass c, jmethodID m, const jvalue *args) {
    callStatic(env, c, m, 'V', "CallStaticVoidMethodA", nullptr, args);
}

jobjectArray JNICALL jNewObjectArray(JNIEnv *jenv, jsize length, jclass cls, jobject init) {
    Env *env = envOf(jenv, "NewObjectArray");
    Obj *c = derefKind(cls, Obj::Class, "NewObjectArray");
    Obj *i = deref(init, "NewObjectArray");
    record("newobjectarray " + std::to_string(length) + " " + c->name);
    if (length < 0) {
        throwNew(env, "java.lang.NegativeArraySizeException", std::to_string(length));
        return nullptr;
    }
    Obj *arr = new Obj{Obj::Array, c->name, {}, {}, std::vector<Obj *>(static_cast<size_t>(length), i)};
    return reinterpret_cast<jobjectArray>(newRef(arr));
}

void JNICALL jSetObjectArrayElement(JNIEnv *jenv, jobjectArray array, jsize index, jobject value) {
    Env *env = envOf(jenv, "SetObjectArrayElement");
    Obj *arr = derefKind(array, Obj::Array, "SetObjectArrayElement");
    Obj *v = deref(value, "SetObjectArrayElement");
    record("setelement " + std::to_string(index));
    if (index < 0 || static_cast<size_t>(index) >= arr->elements.size()) {
        throwNew(env, "java.lang.ArrayIndexOutOfBoundsException", std::to_string(index));
        return;
    }
    arr->elements[static_cast<size_t>(index)] = v;
}

jobject JNICALL jGetObjectArrayElement(JNIEnv *jenv, jobjectArray array, jsize index) {
    Env *env = envOf(jenv, "GetObjectArrayElement");
    Obj *arr = derefKind(array, Obj::Array, "GetObjectArrayElement");
    record("getelement " + std::to_string(index));
    if (index < 0 || static_cast<size_t>(index) >= arr->elements.size()) {
        throwNew(env, "java.lang.ArrayIndexOutOfBoundsException", std::to_string(index));
        return nullptr;
    }
    return newRef(arr->elements[static_cast<size_t>(index)]);
}

jsize JNICALL jGetArrayLength(JNIEnv *jenv, jarray array) {
    envOf(jenv, "GetArrayLength");
    Obj *arr = derefKind(array, Obj::Array, "GetArrayLength");
    record("getarraylength -> " + std::to_string(arr->elements.size()));
    return static_cast<jsize>(arr->elements.size());
}

jstring JNICALL jNewString(JNIEnv *jenv, const jchar *chars, jsize length) {
    envOf(jenv, "NewString");
    if (length < 0 || (!chars && length > 0)) failLoudly(kExitMisuse, "misuse: NewString given a bad length or buffer");
    std::u16string text(reinterpret_cast<const char16_t *>(chars), static_cast<size_t>(length));
    record("newstring " + standin::escapeField(u16ToUtf8(text)));
    return reinterpret_cast<jstring>(newRef(new Obj{Obj::String, "java/lang/String", text, {}, {}}));
}

jstring JNICALL jNewStringUTF(JNIEnv *jenv, const char *utf) {
    envOf(jenv, "NewStringUTF");
    if (!utf) return nullptr;
    record("newstringutf " + standin::escapeField(utf));
    return reinterpret_cast<jstring>(newRef(new Obj{Obj::String, "java/lang/String", utf8ToU16(utf), {}, {}}));
}

jsize JNICALL jGetStringLength(JNIEnv *jenv, jstring str) {
    envOf(jenv, "GetStringLength");
    Obj *s = derefKind(str, Obj::String, "GetStringLength");
    record("getstringlength -> " + std::to_string(s->text.size()));
    return static_cast<jsize>(s->text.size());
}

const jchar *JNICALL jGetStringChars(JNIEnv *jenv, jstring str, jboolean *isCopy) {
    envOf(jenv, "GetStringChars");
    Obj *s = derefKind(str, Obj::String, "GetStringChars");
    record("getstringchars");
    jchar *copy = new jchar[s->text.size() + 1];
    for (size_t i = 0; i < s->text.size(); ++i) copy[i] = s->text[i];
    copy[s->text.size()] = 0;
    if (isCopy) *isCopy = JNI_TRUE;
    return copy;
}

void JNICALL jReleaseStringChars(JNIEnv *jenv, jstring str, const jchar *chars) {
    envOf(jenv, "ReleaseStringChars");
    derefKind(str, Obj::String, "ReleaseStringChars");
    record("releasestringchars");
    delete[] chars;
}

const char *JNICALL jGetStringUTFChars(JNIEnv *jenv, jstring str, jboolean *isCopy) {
    envOf(jenv, "GetStringUTFChars");
    Obj *s = derefKind(str, Obj::String, "GetStringUTFChars");
    record("getstringutfchars");
    std::string utf = u16ToUtf8(s->text);
    char *copy = new char[utf.size() + 1];
    memcpy(copy, utf.c_str(), utf.size() + 1);
    if (isCopy) *isCopy = JNI_TRUE;
    return copy;
}

void JNICALL jReleaseStringUTFChars(JNIEnv *jenv, jstring str, const char *chars) {
    envOf(jenv, "ReleaseStringUTFChars");
    derefKind(str, Obj::String, "ReleaseStringUTFChars");
    record("releasestringutfchars");
    delete[] chars;
}

jthrowable JNICALL jExceptionOccurred(JNIEnv *jenv) {
    Env *env = envOf(jenv, "ExceptionOccurred");
    record("exceptionoccurred -> " + (env->pending ? env->pending->name : std::string("null")));
    return reinterpret_cast<jthrowable>(newRef(env->pending));
}

jboolean JNICALL jExceptionCheck(JNIEnv *jenv) {
    Env *env = envOf(jenv, "ExceptionCheck");
    record(std::string("exceptioncheck -> ") + (env->pending ? "1" : "0"));
    return env->pending ? JNI_TRUE : JNI_FALSE;
}

void JNICALL jExceptionDescribe(JNIEnv *jenv) {
    Env *env = envOf(jenv, "ExceptionDescribe");
    record("describe");
    if (env->pending) {
        standin::writeStdErr(env->pending->describe);
        env->pending = nullptr;  // describing clears the exception, as in a real VM
    }
}

void JNICALL jExceptionClear(JNIEnv *jenv) {
    Env *env = envOf(jenv, "ExceptionClear");
    record("clear");
    env->pending = nullptr;
}

void JNICALL jDeleteLocalRef(JNIEnv *jenv, jobject obj) {
    envOf(jenv, "DeleteLocalRef");
    record("deletelocalref");
    if (!obj) return;
    deref(obj, "DeleteLocalRef");
    reinterpret_cast<Ref *>(obj)->deleted = true;
}

jobject JNICALL jNewGlobalRef(JNIEnv *jenv, jobject obj) {
    envOf(jenv, "NewGlobalRef");
    record("newglobalref");
    return newRef(deref(obj, "NewGlobalRef"), true);
}

void JNICALL jDeleteGlobalRef(JNIEnv *jenv, jobject obj) {
    envOf(jenv, "DeleteGlobalRef");
    record("deleteglobalref");
    if (!obj) return;
    deref(obj, "DeleteGlobalRef");
    reinterpret_cast<Ref *>(obj)->deleted = true;
}

// ---- invocation interface ------------------------------------------------------------------

Env *attachThread(bool daemon, bool &already) {
    DWORD id = GetCurrentThreadId();
    EnterCriticalSection(&gLock);
    Env *&slot = gEnvs[id];
    already = slot != nullptr;
    if (!slot) slot = new Env{&gTable, id, daemon, nullptr};
    Env *env = slot;
    LeaveCriticalSection(&gLock);
    return env;
}

bool isOurVm(JavaVM *vm) { return reinterpret_cast<Vm *>(vm) == &gVm; }

jint attach(JavaVM *vm, void **penv, void *args, bool daemon) {
    if (!isOurVm(vm)) failLoudly(kExitMisuse, "misuse: AttachCurrentThread given an unknown JavaVM");
    if (!gCreated) {
        record("attach thread=" + std::to_string(GetCurrentThreadId()) + " -> no VM");
        return JNI_ERR;
    }
    bool already = false;
    Env *env = attachThread(daemon, already);
    record("attach thread=" + std::to_string(GetCurrentThreadId()) + " daemon=" + (daemon ? "1" : "0") +
           (already ? " (already attached)" : ""));
    if (penv) *penv = env;
    return JNI_OK;
}

jint JNICALL iAttachCurrentThread(JavaVM *vm, void **penv, void *args) { return attach(vm, penv, args, false); }
jint JNICALL iAttachCurrentThreadAsDaemon(JavaVM *vm, void **penv, void *args) { return attach(vm, penv, args, true); }

jint JNICALL iDetachCurrentThread(JavaVM *vm) {
    if (!isOurVm(vm)) failLoudly(kExitMisuse, "misuse: DetachCurrentThread given an unknown JavaVM");
    DWORD id = GetCurrentThreadId();
    EnterCriticalSection(&gLock);
    bool attached = gEnvs.count(id) != 0;
    // The line is written before the thread stops counting as attached, so that a DestroyJavaVM
    // waiting for it cannot write "destroyed" first (the lock is recursive).
    record("detach thread=" + std::to_string(id) + (attached ? "" : " (not attached)"));
    gEnvs.erase(id);
    WakeAllConditionVariable(&gThreadsChanged);
    LeaveCriticalSection(&gLock);
    return JNI_OK;
}

jint JNICALL iGetEnv(JavaVM *vm, void **penv, jint version) {
    if (!isOurVm(vm)) failLoudly(kExitMisuse, "misuse: GetEnv given an unknown JavaVM");
    DWORD id = GetCurrentThreadId();
    jint result = JNI_OK;
    EnterCriticalSection(&gLock);
    auto it = gEnvs.find(id);
    if (version < JNI_VERSION_1_1 || (version > JNI_VERSION_1_8 && version != JNI_VERSION_9 && version != JNI_VERSION_10))
        result = JNI_EVERSION;
    else if (it == gEnvs.end() || !gCreated)
        result = JNI_EDETACHED;
    if (penv) *penv = result == JNI_OK ? it->second : nullptr;
    LeaveCriticalSection(&gLock);
    record("getenv thread=" + std::to_string(id) + " version=" + hex(static_cast<unsigned>(version)) + " -> " +
           std::to_string(result));
    return result;
}

jint JNICALL iDestroyJavaVM(JavaVM *vm) {
    if (!isOurVm(vm)) failLoudly(kExitMisuse, "misuse: DestroyJavaVM given an unknown JavaVM");
    DWORD id = GetCurrentThreadId();
    record("destroy thread=" + std::to_string(id));
    // Like a real VM: wait for every other attached non-daemon thread to detach.
    EnterCriticalSection(&gLock);
    ULONGLONG deadline = GetTickCount64() + 600000;
    for (;;) {
        std::vector<DWORD> others;
        for (auto &kv : gEnvs)
            if (kv.first != id && !kv.second->daemon) others.push_back(kv.first);
        if (others.empty()) break;
        ULONGLONG now = GetTickCount64();
        if (now > deadline) {
            LeaveCriticalSection(&gLock);
            record("destroy gave up waiting for attached threads");
            EnterCriticalSection(&gLock);
            break;
        }
        SleepConditionVariableCS(&gThreadsChanged, &gLock, 1000);
    }
    LeaveCriticalSection(&gLock);
    for (const std::wstring &path : gScript.threadsWaitGone) {
        bool ok = waitForPath(path, false);
        record(ok ? "destroy: java thread ended" : "destroy: java thread wait timed out");
    }
    if (gBridge) bridge::destroy();
    EnterCriticalSection(&gLock);
    gCreated = false;
    gEnvs.clear();
    LeaveCriticalSection(&gLock);
    record("destroyed");
    return JNI_OK;
}

void buildTables() {
    void **slots = reinterpret_cast<void **>(&gTable);
    fillUnexpected(slots, std::make_index_sequence<sizeof(JNINativeInterface_) / sizeof(void *)>());
    gTable.GetVersion = jGetVersion;
    gTable.FindClass = jFindClass;
    gTable.GetStaticMethodID = jGetStaticMethodID;
    gTable.CallStaticVoidMethod = jCallStaticVoidMethod;
    gTable.CallStaticVoidMethodV = jCallStaticVoidMethodV;
    gTable.CallStaticVoidMethodA = jCallStaticVoidMethodA;
    gTable.CallStaticBooleanMethod = jCallStaticBooleanMethod;
    gTable.CallStaticBooleanMethodV = jCallStaticBooleanMethodV;
    gTable.CallStaticBooleanMethodA = jCallStaticBooleanMethodA;
    gTable.CallStaticIntMethod = jCallStaticIntMethod;
    gTable.CallStaticIntMethodV = jCallStaticIntMethodV;
    gTable.CallStaticIntMethodA = jCallStaticIntMethodA;
    gTable.CallStaticObjectMethod = jCallStaticObjectMethod;
    gTable.CallStaticObjectMethodV = jCallStaticObjectMethodV;
    gTable.CallStaticObjectMethodA = jCallStaticObjectMethodA;
    gTable.NewObjectArray = jNewObjectArray;
    gTable.SetObjectArrayElement = jSetObjectArrayElement;
    gTable.GetObjectArrayElement = jGetObjectArrayElement;
    gTable.GetArrayLength = jGetArrayLength;
    gTable.NewString = jNewString;
    gTable.NewStringUTF = jNewStringUTF;
    gTable.GetStringLength = jGetStringLength;
    gTable.GetStringChars = jGetStringChars;
    gTable.ReleaseStringChars = jReleaseStringChars;
    gTable.GetStringUTFChars = jGetStringUTFChars;
    gTable.ReleaseStringUTFChars = jReleaseStringUTFChars;
    gTable.ExceptionOccurred = jExceptionOccurred;
    gTable.ExceptionDescribe = jExceptionDescribe;
    gTable.ExceptionClear = jExceptionClear;
    gTable.ExceptionCheck = jExceptionCheck;
    gTable.DeleteLocalRef = jDeleteLocalRef;
    gTable.NewGlobalRef = jNewGlobalRef;
    gTable.DeleteGlobalRef = jDeleteGlobalRef;

    gInvoke.reserved0 = gInvoke.reserved1 = gInvoke.reserved2 = nullptr;
    gInvoke.DestroyJavaVM = iDestroyJavaVM;
    gInvoke.AttachCurrentThread = iAttachCurrentThread;
    gInvoke.DetachCurrentThread = iDetachCurrentThread;
    gInvoke.GetEnv = iGetEnv;
    gInvoke.AttachCurrentThreadAsDaemon = iAttachCurrentThreadAsDaemon;
}

std::string ansiToUtf8(const char *s) { return standin::toUtf8(standin::fromCodePage(CP_ACP, s)); }

}  // namespace

// ---- exported entry points -----------------------------------------------------------------

extern "C" {

JNIEXPORT jint JNICALL JNI_GetDefaultJavaVMInitArgs(void *args) {
    JavaVMInitArgs *a = static_cast<JavaVMInitArgs *>(args);
    jint version = a ? a->version : 0;
    record("getdefaultinitargs version=" + hex(static_cast<unsigned>(version)));
    if (version < JNI_VERSION_1_2) return JNI_EVERSION;
    return JNI_OK;
}

JNIEXPORT jint JNICALL JNI_GetCreatedJavaVMs(JavaVM **vms, jsize size, jsize *count) {
    jsize n = gCreated ? 1 : 0;
    record("getcreatedvms -> " + std::to_string(n));
    if (count) *count = n;
    if (vms && size > 0 && n) vms[0] = reinterpret_cast<JavaVM *>(&gVm);
    return JNI_OK;
}

JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM **pvm, void **penv, void *args) {
    JavaVMInitArgs *a = static_cast<JavaVMInitArgs *>(args);
    std::string lines;
    if (!a) {
        record("create args=null");
        return JNI_EINVAL;
    }
    std::vector<std::string> options;
    std::string hookLines;
    jint hooks = 0;
    for (jint i = 0; i < a->nOptions; ++i) {
        const char *text = a->options[i].optionString;
        // The invocation interface's hooks (a function in extraInfo) are no options of the
        // program: recorded apart, never handed on to a host VM.
        if (text && a->options[i].extraInfo &&
            (!std::strcmp(text, "vfprintf") || !std::strcmp(text, "exit") || !std::strcmp(text, "abort"))) {
            hookLines += std::string("\nhook ") + text;
            ++hooks;
            continue;
        }
        options.push_back(text ? ansiToUtf8(text) : std::string());
        lines += "\noption " + std::to_string(i - hooks) + " " + standin::escapeField(options.back());
    }
    lines = "create version=" + hex(static_cast<unsigned>(a->version)) +
            " ignoreUnrecognized=" + std::to_string(a->ignoreUnrecognized ? 1 : 0) +
            " nOptions=" + std::to_string(a->nOptions - hooks) + lines + hookLines;
    record(lines);
    if (gCreated) {
        record("create failed: a VM exists already");
        return JNI_EEXIST;
    }
    if (a->version != JNI_VERSION_1_2 && a->version != JNI_VERSION_1_4 && a->version != JNI_VERSION_1_6 &&
        a->version != JNI_VERSION_1_8 && a->version != JNI_VERSION_9 && a->version != JNI_VERSION_10) {
        record("create failed: unsupported version");
        return JNI_EVERSION;
    }
    loadScript();
    std::vector<std::pair<std::string, std::string>> cfg = standin::readSettings(gDir + L"jvm.cfg");
    gBridge = false;
    std::string hostJava;
    for (auto &kv : cfg) {
        if (kv.first == "mode") gBridge = kv.second == "bridge";
        if (kv.first == "java") hostJava = kv.second;
    }
    if (gScript.createFail) {
        record("create failed: script");
        return gScript.createCode;
    }
    if (gBridge) {
        std::string error;
        if (!bridge::start(gDir, hostJava, options, &record, error)) {
            record("create failed: bridge: " + standin::escapeField(error));
            return JNI_ERR;
        }
    }
    bool already = false;
    Env *env = attachThread(false, already);
    gCreatorThread = GetCurrentThreadId();
    gCreated = true;
    if (pvm) *pvm = reinterpret_cast<JavaVM *>(&gVm);
    if (penv) *penv = env;
    record("created thread=" + std::to_string(gCreatorThread));
    return JNI_OK;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        gModule = instance;
        InitializeCriticalSection(&gLock);
        InitializeConditionVariable(&gThreadsChanged);
        gDir = standin::moduleDirectory(instance);
        buildTables();
        record("load pid=" + std::to_string(GetCurrentProcessId()));
    } else if (reason == DLL_PROCESS_DETACH) {
        if (gBridge) bridge::processEnding();
    }
    return TRUE;
}

}  // extern "C"
