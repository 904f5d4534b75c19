#include "HelperProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace talvane {

namespace {

constexpr auto EndingWait = std::chrono::seconds(1);
constexpr auto EndingCheck = std::chrono::milliseconds(1);

// What posix_spawn does besides starting the program, released however Start returns.
struct SpawnSettings {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;

    explicit SpawnSettings(int stream) {
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, stream, STDOUT_FILENO);
        posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
        // The helper starts as a fresh program: no signal blocked or ignored by the window.
        posix_spawnattr_init(&attributes);
        sigset_t none;
        sigset_t all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnSettings() {
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;
};

HelperProcess::Started NotStarted(const std::filesystem::path& program, int error) {
    return {nullptr, {}, program.string() + ": " + std::strerror(error)};
}

} // namespace

HelperProcess::Started HelperProcess::Start(const std::filesystem::path& program,
                                            const std::string& interface) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return NotStarted(program, errno);
    UniqueFd windowEnd(ends[0]);
    const UniqueFd helperEnd(ends[1]);
    const SpawnSettings settings(helperEnd.Get());
    const std::string path = program.string();
    char* const arguments[] = {const_cast<char*>(path.c_str()),
                               const_cast<char*>(interface.c_str()), nullptr};
    char* const environment[] = {nullptr};
    pid_t pid = -1;
    const int result = posix_spawn(&pid, path.c_str(), &settings.actions, &settings.attributes,
                                   arguments, environment);
    if (result != 0)
        return NotStarted(program, result);
    return {std::unique_ptr<HelperProcess>(new HelperProcess(pid)), std::move(windowEnd), {}};
}

HelperProcess::~HelperProcess() {
    const auto deadline = std::chrono::steady_clock::now() + EndingWait;
    while (std::chrono::steady_clock::now() < deadline) {
        // Reaped, or not ours to reap (SIGCHLD ignored): gone either way.
        const pid_t ended = waitpid(pid, nullptr, WNOHANG);
        if (ended == pid || (ended < 0 && errno != EINTR))
            return;
        std::this_thread::sleep_for(EndingCheck);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

} // namespace talvane
