// The search for a usable Java runtime in the configured order.
#pragma once
#include <string>

enum class JvmSource { None = 0, SystemPath = 1, Location = 2, EnvironmentVariable = 3, Registry = 4 };

JvmSource searchForJvm(std::string& exeOut, std::string& sourceOut);
bool checkLocation(std::string& exeOut, const std::string& directory, const std::string& min,
                   const std::string& max, bool skipVersionCheck);
bool checkEnvironmentVariable(std::string& exeOut, const std::string& name, const std::string& min,
                              const std::string& max);
bool checkSystemPath(std::string& exeOut, const std::string& min, const std::string& max);
bool readLocationFile(std::string& lineOut, const char* relativeName);
