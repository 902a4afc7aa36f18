#pragma once

// A busy machine for benchmarks: `--busy N` runs N processes that spin on the cores while the
// figures are measured, as a user's browser or build would, and each figure is printed with the
// load average beside it so that quiet and busy runs can be told apart.

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

class TBusyLoad {
public:
    // Takes "--busy N" out of the arguments (argc and argv are shortened in place), so the bench's own
    // argument parsing never sees it.
    static int TakeBusyArgument(int& argc, char** argv) {
        int busy = 0;
        for (int i = 1; i < argc; ++i) {
            if (std::strcmp(argv[i], "--busy") != 0 || i + 1 >= argc) continue;
            busy = std::max(0, std::atoi(argv[i + 1]));
            for (int j = i; j + 2 <= argc; ++j)
                argv[j] = argv[j + 2];
            argc -= 2;
            break;
        }
        return busy;
    }

    explicit TBusyLoad(int processes) {
        for (int i = 0; i < processes; ++i) {
            const pid_t pid = fork();
            if (pid == 0) {
                // Only arithmetic here: the child of a process that may have threads must not take locks.
                volatile unsigned long spin = 0;
                for (;;)
                    spin = spin + 1;
            }
            if (pid > 0) Children.push_back(pid);
        }
    }
    ~TBusyLoad() {
        for (pid_t pid : Children)
            kill(pid, SIGKILL);
        for (pid_t pid : Children)
            waitpid(pid, nullptr, 0);
    }
    TBusyLoad(const TBusyLoad&) = delete;
    TBusyLoad& operator=(const TBusyLoad&) = delete;

    int Processes() const { return static_cast<int>(Children.size()); }

    // The one-minute load average, as `uptime` shows it.
    static double LoadAverage() {
        double load = 0;
        if (FILE* f = std::fopen("/proc/loadavg", "r")) {
            if (std::fscanf(f, "%lf", &load) != 1) load = 0;
            std::fclose(f);
        }
        return load;
    }
    // " (busy N, load L)" to print beside a figure.
    std::string Label() const {
        char text[64];
        std::snprintf(text, sizeof text, " (busy %d, load %.1f)", Processes(), LoadAverage());
        return text;
    }

private:
    std::vector<pid_t> Children;
};
