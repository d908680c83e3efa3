// Bridge mode of the stand-in jvm.dll: the Java program runs for real on the host's JDK.
// The host VM is started at JNI_CreateJavaVM (through /bin/sh and a generated script) and answers
// requests that the DLL writes as files into a session directory (see testing/README.md).
#ifndef STANDIN_BRIDGE_H
#define STANDIN_BRIDGE_H

#include <string>
#include <vector>

namespace bridge {

using Recorder = void (*)(const std::string &line);

// Starts the host VM with the given VM options (UTF-8) and waits until it is ready.
// False (with a reason) when it cannot be started or ends before it is ready (a bad option).
bool start(const std::wstring &dllDir, const std::string &hostJava, const std::vector<std::string> &options,
           Recorder record, std::string &error);
// Whether the host VM finds the class (slash form).
bool findClass(const std::string &slashName);
// Whether the class has a static method of that name and signature.
bool hasMethod(const std::string &slashClass, const std::string &name, const std::string &sig);
// Runs the class's main with the arguments (UTF-8). False when main threw: the exception's dotted class,
// message and the text ExceptionDescribe prints are filled in. System.exit ends this process with its code.
bool callMain(const std::string &slashClass, const std::vector<std::string> &args, std::string &exClass,
              std::string &exMessage, std::string &describe);
// Calls a static method without arguments; outcome is "void", an int, "true"/"false", "null" or a quoted,
// escaped string. False when it threw (as for callMain).
bool callStatic(const std::string &slashClass, const std::string &name, const std::string &sig, std::string &outcome,
                std::string &exClass, std::string &exMessage, std::string &describe);
// Ends main's thread on the host and waits until the host VM has ended (after its non-daemon threads);
// a non-zero exit of the host VM (System.exit from another thread) ends this process with that code.
void destroy();
// The process is ending: the host VM is stopped too.
void processEnding();
// Undoes the escaping of record fields (\\ \n \r \t \xHH).
std::string unescape(const std::string &text);

}  // namespace bridge

#endif
