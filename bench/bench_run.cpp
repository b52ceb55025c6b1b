// Runs one command for bench/run and notes what it took, measured here
// rather than by the calling shell: a shell that holds the paths of 100,000
// files takes milliseconds to fork, which would count against short
// commands.
//
// bench_run OUT COMMAND...: appends to OUT one line: the wall time from the
// fork to the command's exit (seconds), its peak resident size (KB), its
// user and system time (seconds). Exits with the command's status.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace {

double secondsOf(const timespec& t) {
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double secondsOf(const timeval& t) {
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_run OUT COMMAND...\n");
        return 2;
    }
    timespec start{}, end{};
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t child = ::fork();
    if (child < 0) {
        std::perror("bench_run: fork");
        return 2;
    }
    if (child == 0) {
        ::execvp(argv[2], argv + 2);
        std::perror(argv[2]);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(child, &status, 0, &usage) != child) {
        std::perror("bench_run: wait4");
        return 2;
    }
    ::clock_gettime(CLOCK_MONOTONIC, &end);
    std::FILE* out = std::fopen(argv[1], "a");
    if (!out) {
        std::perror(argv[1]);
        return 2;
    }
    std::fprintf(out, "%.6f %ld %.3f %.3f\n", secondsOf(end) - secondsOf(start), usage.ru_maxrss,
                 secondsOf(usage.ru_utime), secondsOf(usage.ru_stime));
    std::fclose(out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
