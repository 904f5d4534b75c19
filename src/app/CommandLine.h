#pragma once

#include <optional>
#include <span>
#include <string>

namespace talvane {

// The program is used through its window; the command line only answers --help and --version,
// and refuses everything else, so that a mistyped option is not silently ignored.
class CommandLine {
public:
    struct Answer {
        int exitCode = 0;
        std::string standardOutput;
        std::string standardError;
    };

    // The answer to the arguments after the program's name; nullopt when there are none and the
    // window should open.
    static std::optional<Answer> Read(std::span<const char* const> arguments);
};

} // namespace talvane
