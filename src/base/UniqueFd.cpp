#include "UniqueFd.h"

#include <unistd.h>

#include <utility>

namespace talvane {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        Close();
        fd = other.Release();
    }
    return *this;
}

UniqueFd::~UniqueFd() {
    Close();
}

int UniqueFd::Release() {
    return std::exchange(fd, -1);
}

bool UniqueFd::Close() {
    const int open = Release();
    return open >= 0 && close(open) == 0;
}

} // namespace talvane
