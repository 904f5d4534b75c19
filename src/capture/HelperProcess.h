#pragma once

#include "base/UniqueFd.h"

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <string>

namespace talvane {

// The capture helper, talvane-capture, running for one interface: the only part of the program
// that holds capture privileges. It writes its capture to a stream whose other end the window
// holds; closing that end tells it to stop.
class HelperProcess {
public:
    struct Started {
        // Null when the helper could not be started.
        std::unique_ptr<HelperProcess> process;
        // The window's end of the stream.
        UniqueFd stream;
        std::string error;
    };

    // Starts the program with the interface as its one argument and an empty environment: its
    // standard input is /dev/null, its standard output the stream, its standard error the
    // window's, and no other descriptor is open in it. The helper ends when the thread that
    // started it does, so only a thread that outlives every capture starts one.
    static Started Start(const std::filesystem::path& program, const std::string& interface);

    // Waits for the helper to end, which it does once its stream is closed; one that has not ended
    // after a second is killed.
    ~HelperProcess();

    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    pid_t Pid() const { return pid; }

private:
    explicit HelperProcess(pid_t pid) : pid(pid) {}

    pid_t pid;
};

} // namespace talvane
