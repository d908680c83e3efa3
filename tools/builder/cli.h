// The command line of tovex-build, callable from tests.
#pragma once
#include <string>
#include <vector>

namespace builder {
// Runs the builder with args (without the program name); standard output and
// error text are appended to out and err. Returns the exit code.
int runCli(const std::vector<std::string>& args, std::string& out, std::string& err);
}  // namespace builder
