#include "platform/device_holders.h"

#include "base/unique_fd.h"

#include <cctype>
#include <charconv>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tq50r::platform {
namespace {

// Pseudo-terminal slaves are character devices of this major number, their minor number is the
// terminal's index; every master is a descriptor of the multiplexer at 5:2.
constexpr unsigned kPtySlaveMajor = 136;
constexpr unsigned kPtyMultiplexerMajor = 5;
constexpr unsigned kPtyMultiplexerMinor = 2;
constexpr std::string_view kTtyIndexField = "tty-index:";
constexpr std::size_t kFdInfoSize = 512;

// Closes a directory stream on every way out.
class Directory {
public:
    explicit Directory(base::UniqueFd fd) : dir_(fd ? ::fdopendir(fd.get()) : nullptr) {
        if (dir_ != nullptr) {
            (void)fd.release(); // the stream owns it now
        }
    }
    ~Directory() {
        if (dir_ != nullptr) {
            ::closedir(dir_);
        }
    }
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;

    explicit operator bool() const { return dir_ != nullptr; }
    int fd() const { return ::dirfd(dir_); }
    // The next entry's name; empty at the end.
    std::string_view next() {
        const dirent* entry = ::readdir(dir_);
        return entry != nullptr ? std::string_view(entry->d_name) : std::string_view();
    }

private:
    DIR* dir_;
};

Directory openDirectory(int parentFd, const char* name) {
    return Directory(base::UniqueFd(::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
}

bool isNumber(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c)) == 0) {
            return false;
        }
    }
    return true;
}

// The pseudo-terminal index a master descriptor serves, from its fdinfo; -1 if none is given.
long masterIndex(int pidDirFd, std::string_view fdName) {
    const std::string path = "fdinfo/" + std::string(fdName);
    const base::UniqueFd info(::openat(pidDirFd, path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!info) {
        return -1;
    }
    char text[kFdInfoSize];
    const ssize_t n = ::read(info.get(), text, sizeof text - 1);
    if (n <= 0) {
        return -1;
    }
    const std::string_view view(text, static_cast<std::size_t>(n));
    const auto field = view.find(kTtyIndexField);
    if (field == std::string_view::npos) {
        return -1;
    }
    std::size_t pos = field + kTtyIndexField.size();
    while (pos < view.size() && (view[pos] == ' ' || view[pos] == '\t')) {
        ++pos;
    }
    long index = -1;
    (void)std::from_chars(view.data() + pos, view.data() + view.size(), index);
    return index;
}

struct Holding {
    bool device = false; // has the device open
    bool master = false; // has the master side of the same pseudo-terminal open
};

Holding holdingOf(int pidDirFd, dev_t device) {
    Holding holding;
    Directory fds = openDirectory(pidDirFd, "fd");
    if (!fds) {
        return holding; // gone, or not ours to look at
    }
    const bool ptySlave = ::major(device) == kPtySlaveMajor;
    for (std::string_view name = fds.next(); !name.empty(); name = fds.next()) {
        if (!isNumber(name)) {
            continue;
        }
        struct stat target {};
        if (::fstatat(fds.fd(), std::string(name).c_str(), &target, 0) != 0 ||
            !S_ISCHR(target.st_mode)) {
            continue;
        }
        if (target.st_rdev == device) {
            holding.device = true;
        } else if (ptySlave && ::major(target.st_rdev) == kPtyMultiplexerMajor &&
                   ::minor(target.st_rdev) == kPtyMultiplexerMinor &&
                   masterIndex(pidDirFd, name) == static_cast<long>(::minor(device))) {
            holding.master = true;
        }
    }
    return holding;
}

} // namespace

bool heldByAnotherProcess(int fd, const std::filesystem::path& procRoot) {
    struct stat own {};
    if (::fstat(fd, &own) != 0 || !S_ISCHR(own.st_mode)) {
        return false;
    }
    Directory processes(
        base::UniqueFd(::open(procRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
    if (!processes) {
        return false;
    }
    const std::string self = std::to_string(::getpid());
    for (std::string_view name = processes.next(); !name.empty(); name = processes.next()) {
        if (!isNumber(name) || name == self) {
            continue;
        }
        const base::UniqueFd pidDir(::openat(processes.fd(), std::string(name).c_str(),
                                             O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!pidDir) {
            continue;
        }
        const Holding holding = holdingOf(pidDir.get(), own.st_rdev);
        if (holding.device && !holding.master) {
            return true;
        }
    }
    return false;
}

} // namespace tq50r::platform
