#include "CommandLine.h"
#include "MonitorApp.h"

#include <cstdio>
#include <span>

int main(int argc, char** argv) {
    // Answered before Qt starts, so that --help and --version work without a display.
    const std::span<const char* const> arguments(argv + 1, argc > 0 ? argc - 1 : 0);
    if (const auto answer = talvane::CommandLine::Read(arguments)) {
        std::fputs(answer->standardOutput.c_str(), stdout);
        std::fputs(answer->standardError.c_str(), stderr);
        return answer->exitCode;
    }
    talvane::MonitorApp app(argc, argv);
    return app.InitInstance();
}
