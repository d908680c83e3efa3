// The start-up baseline: only what no launcher can avoid. Initialises the
// common controls (with the launcher's manifest, linked in as a resource),
// loads jvm.dll by its full path, creates the VM with the options given, calls
// the static main of the class given with the arguments given, destroys the VM.
//
//   baseline_start.exe [--probe JAVAEXE] JVMDLL CLASS [VM option ...] -- [main argument ...]
//
// --probe first runs "JAVAEXE -version" the way a launcher probes a runtime
// (hidden window, standard error into a fresh temporary file, wait, exit code,
// first line read, file deleted): the cost a start without a cached version
// cannot avoid.
// Exit codes: 0 done, 1 main threw, 2 DLL not loaded, 3 no JNI_CreateJavaVM,
// 4 creation failed, 5 class or main not found, 6 probe failed, 64 usage.
#include <windows.h>
#include <commctrl.h>
#include <jni.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

typedef jint(JNICALL* CreateJavaVM)(JavaVM**, void**, void*);

std::string toAnsi(const wchar_t* text) {
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<size_t>(n) : 1, '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, text, -1, &out[0], n, nullptr, nullptr);
    out.resize(std::strlen(out.c_str()));
    return out;
}

bool probe(const wchar_t* javaExe) {
    wchar_t dir[MAX_PATH], file[MAX_PATH];
    if (!GetTempPathW(MAX_PATH, dir) || !GetTempFileNameW(dir, L"bsl", 0, file)) return false;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileW(file, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::wstring command = std::wstring(javaExe) + L" -version";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdError = out;
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr,
                                  nullptr, &startup, &process);
    DWORD code = 1;
    if (started) {
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    char line[100] = {};
    DWORD got = 0;
    SetFilePointer(out, 0, nullptr, FILE_BEGIN);
    ReadFile(out, line, sizeof line - 1, &got, nullptr);
    CloseHandle(out);
    DeleteFileW(file);
    return started && code == 0 && got > 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    InitCommonControls();
    int at = 1;
    const wchar_t* javaExe = nullptr;
    if (at + 1 < argc && std::wcscmp(argv[at], L"--probe") == 0) {
        javaExe = argv[at + 1];
        at += 2;
    }
    if (argc - at < 2) return 64;
    const wchar_t* dll = argv[at++];
    std::string mainClass = toAnsi(argv[at++]);
    std::vector<std::string> optionText;
    while (at < argc && std::wcscmp(argv[at], L"--") != 0) optionText.push_back(toAnsi(argv[at++]));
    if (at < argc) ++at;
    if (javaExe && !probe(javaExe)) return 6;

    HMODULE library = LoadLibraryW(dll);
    if (!library) return 2;
    auto create = reinterpret_cast<CreateJavaVM>(reinterpret_cast<void*>(GetProcAddress(library, "JNI_CreateJavaVM")));
    if (!create) return 3;
    std::vector<JavaVMOption> options(optionText.size());
    for (size_t i = 0; i < optionText.size(); ++i) {
        options[i].optionString = &optionText[i][0];
        options[i].extraInfo = nullptr;
    }
    JavaVMInitArgs init;
    init.version = JNI_VERSION_1_2;
    init.nOptions = static_cast<jint>(options.size());
    init.options = options.empty() ? nullptr : options.data();
    init.ignoreUnrecognized = JNI_TRUE;
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    if (create(&vm, reinterpret_cast<void**>(&env), &init) != JNI_OK) return 4;

    jclass cls = env->FindClass(mainClass.c_str());
    jmethodID main = cls ? env->GetStaticMethodID(cls, "main", "([Ljava/lang/String;)V") : nullptr;
    if (!main) return 5;
    jclass stringClass = env->FindClass("java/lang/String");
    jobjectArray args = env->NewObjectArray(argc - at, stringClass, nullptr);
    for (int i = at; i < argc; ++i) {
        jstring text = env->NewString(reinterpret_cast<const jchar*>(argv[i]), static_cast<jsize>(std::wcslen(argv[i])));
        env->SetObjectArrayElement(args, i - at, text);
    }
    env->CallStaticVoidMethod(cls, main, args);
    int result = 0;
    if (env->ExceptionOccurred()) {
        env->ExceptionDescribe();
        result = 1;
    }
    vm->DestroyJavaVM();
    return result;
}
