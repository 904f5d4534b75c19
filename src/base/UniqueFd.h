#pragma once

namespace talvane {

// Owns one open file descriptor, closing it when the owner goes: no path out of a function
// leaks it. -1 stands for none.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    ~UniqueFd();
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    explicit operator bool() const { return fd >= 0; }
    int Get() const { return fd; }

    // Hands the descriptor to a caller that closes it, such as a directory stream.
    int Release();

    // Closes now, for a writer that must learn whether the data reached the file: false when
    // close reports an error, or when nothing was open.
    bool Close();

private:
    int fd = -1;
};

} // namespace talvane
