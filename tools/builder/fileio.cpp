// File access of the builder above the platform layers (fileio_host.cpp,
// fileio_win.cpp): what needs only their output-file functions.
#include "builder.h"

namespace builder {

bool writeWholeFile(const std::string& path, const std::string& data, std::string& error) {
    OutputFile out;
    if (!openOutput(path, out, error)) return false;
    if (!writeOutput(out, data.data(), data.size(), error)) {
        discardOutput(out);
        return false;
    }
    return commitOutput(out, error);
}

}  // namespace builder
