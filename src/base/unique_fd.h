// UniqueFd: the one owner of an operating-system descriptor. It closes what it holds when it goes
// out of scope or is given another, so no error path can leak one. Move only.
#pragma once

#include <unistd.h>
#include <utility>

namespace tq50r::base {

class UniqueFd {
public:
    UniqueFd() noexcept = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }
    explicit operator bool() const noexcept { return valid(); }

    /// Gives the descriptor up without closing it; the caller owns it now.
    int release() noexcept { return std::exchange(fd_, -1); }
    /// Closes what is held (if anything) and holds `fd` instead.
    void reset(int fd = -1) noexcept {
        const int old = std::exchange(fd_, fd);
        if (old >= 0) {
            (void)::close(old);
        }
    }
    /// Closes what is held now and returns close()'s result (0 when nothing was held), for
    /// callers to whom a failed close means lost data (a file written and not yet renamed).
    int close() noexcept {
        const int old = release();
        return old >= 0 ? ::close(old) : 0;
    }

private:
    int fd_ = -1;
};

} // namespace tq50r::base
