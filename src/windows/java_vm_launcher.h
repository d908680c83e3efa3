// Creating the VM and calling the Java-side launcher class.
#pragma once
#include <string>
#include <vector>

#include <jni.h>

// Creates the VM, runs the first-run check, calls main of the launcher class
// and (with destroyAfterMain) destroys the VM. False when the VM could not be
// created or main ended with an exception.
bool launchProgram(const std::vector<std::u16string>& argumentList, bool destroyAfterMain);
// The process-wide VM; valid once vmExists() is true.
JavaVM* javaVm();
bool vmExists();
