// Java installations named in the registry.
#pragma once
#include <string>

enum class RegistryHive { CurrentUser, LocalMachine };

bool findRegisteredJvm(std::string& exeOut, const std::string& min, const std::string& max);
bool findJavaSoftJvm(std::string& exeOut, std::string& versionOut, const std::string& min, const std::string& max);
bool findLocatedJvm(std::string& exeOut, std::string& versionOut, const std::string& min, const std::string& max);
bool findPreviousInstallation(RegistryHive hive, std::string& exeOut, const std::string& min, const std::string& max);
