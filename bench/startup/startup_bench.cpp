// Starts two programs in turns, ROUNDS times each, and prints the medians of their wall time and
// peak memory (RSS, from the kernel's accounting of the ended child) and the ratios of the second
// to the first.
// Usage: tq50r-startup-bench ROUNDS BASE_PROGRAM [ARGS...] -- PROGRAM [ARGS...]
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int MaxRounds = 1000;
// A start that has not ended after this long is cut off and the run fails.
constexpr unsigned StartLimitS = 30;

volatile sig_atomic_t runningChild = 0;

void killOverdueChild(int) {
    if (runningChild > 0) {
        ::kill(runningChild, SIGKILL);
    }
}

struct Sample {
    double wallMs = 0;
    double peakMiB = 0;
};

struct Program {
    std::vector<char*> argv; // ends with nullptr
    std::vector<Sample> samples;
    std::string name() const { return argv.front(); }
};

// Runs the program once with its output discarded; false when it did not end normally with 0.
bool runOnce(Program& program, bool keep) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) {
        return false;
    }
    if (pid == 0) {
        const int devNull = ::open("/dev/null", O_WRONLY);
        ::dup2(devNull, STDOUT_FILENO);
        ::dup2(devNull, STDERR_FILENO);
        ::execv(program.argv.front(), program.argv.data());
        ::_exit(127);
    }
    runningChild = pid;
    ::alarm(StartLimitS);
    int status = 0;
    rusage usage{};
    pid_t ended = -1;
    do {
        ended = ::wait4(pid, &status, 0, &usage);
    } while (ended < 0 && errno == EINTR);
    ::alarm(0);
    runningChild = 0;
    const auto end = std::chrono::steady_clock::now();
    if (ended != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s did not end normally (status %d)\n", program.name().c_str(),
                     status);
        return false;
    }
    if (keep) {
        program.samples.push_back({std::chrono::duration<double, std::milli>(end - start).count(),
                                   static_cast<double>(usage.ru_maxrss) / 1024.0});
    }
    return true;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double medianOf(const Program& program, double Sample::*field) {
    std::vector<double> values;
    for (const Sample& s : program.samples) {
        values.push_back(s.*field);
    }
    return median(values);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const auto separator = std::find(args.begin(), args.end(), "--");
    const int rounds = args.empty() ? 0 : std::atoi(args.front().c_str());
    if (rounds < 1 || rounds > MaxRounds || separator == args.end() ||
        separator - args.begin() < 2 || separator + 1 == args.end()) {
        std::fprintf(stderr,
                     "Usage: %s ROUNDS BASE_PROGRAM [ARGS...] -- PROGRAM [ARGS...]\n"
                     "ROUNDS is 1 to %d.\n",
                     argv[0], MaxRounds);
        return 2;
    }
    std::signal(SIGALRM, killOverdueChild);
    const int split = static_cast<int>(separator - args.begin()) + 1; // index in argv
    Program base;
    Program measured;
    for (int i = 2; i < split; ++i) {
        base.argv.push_back(argv[i]);
    }
    for (int i = split + 1; i < argc; ++i) {
        measured.argv.push_back(argv[i]);
    }
    base.argv.push_back(nullptr);
    measured.argv.push_back(nullptr);

    // One unmeasured start of each fills the file cache; then turns alternate, so that neither
    // always runs right after the other.
    if (!runOnce(base, false) || !runOnce(measured, false)) {
        return 1;
    }
    for (int round = 0; round < rounds; ++round) {
        Program& first = round % 2 == 0 ? base : measured;
        Program& second = round % 2 == 0 ? measured : base;
        if (!runOnce(first, true) || !runOnce(second, true)) {
            return 1;
        }
    }
    const double baseMs = medianOf(base, &Sample::wallMs);
    const double baseMiB = medianOf(base, &Sample::peakMiB);
    const double ms = medianOf(measured, &Sample::wallMs);
    const double mib = medianOf(measured, &Sample::peakMiB);
    std::printf("start-up, median of %d rounds   wall time     peak RSS\n", rounds);
    std::printf("  %-30s %7.1f ms  %7.1f MiB\n", base.name().c_str(), baseMs, baseMiB);
    std::printf("  %-30s %7.1f ms  %7.1f MiB\n", measured.name().c_str(), ms, mib);
    std::printf("  %-30s %7.2f     %7.2f\n", "ratio", ms / baseMs, mib / baseMiB);
    return 0;
}
