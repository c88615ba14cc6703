#pragma once

// What this process holds, read from /proc: its threads, its resident memory and its open files, now and
// at their peaks over a measure.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include <dirent.h>

namespace bench {

struct ProcessFigures {
    int threads = 0;
    double residentMB = 0.0;
    int files = 0;
};

inline ProcessFigures processFigures() {
    ProcessFigures figures;
    if (FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status)) {
            long value = 0;
            if (std::sscanf(line, "Threads: %ld", &value) == 1)
                figures.threads = int(value);
            else if (std::sscanf(line, "VmRSS: %ld kB", &value) == 1)
                figures.residentMB = double(value) * 1024.0 / 1e6;
        }
        std::fclose(status);
    }
    if (DIR* descriptors = opendir("/proc/self/fd")) {
        while (const dirent* entry = readdir(descriptors))
            if (entry->d_name[0] != '.')
                ++figures.files;
        closedir(descriptors);
        --figures.files; // the listing's own
    }
    return figures;
}

// Samples the figures every 2 ms on a thread of its own (counted among the threads) until stopped, and
// keeps the highest of each.
class PeakSampler {
public:
    PeakSampler() : sampler([this] { run(); }) {}
    ~PeakSampler() { stop(); }
    PeakSampler(const PeakSampler&) = delete;
    PeakSampler& operator=(const PeakSampler&) = delete;

    ProcessFigures stop() {
        stopping = true;
        if (sampler.joinable())
            sampler.join();
        return peaks;
    }

private:
    void run() {
        while (!stopping) {
            const ProcessFigures now = processFigures();
            peaks.threads = std::max(peaks.threads, now.threads);
            peaks.residentMB = std::max(peaks.residentMB, now.residentMB);
            peaks.files = std::max(peaks.files, now.files);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    std::atomic<bool> stopping{false};
    ProcessFigures peaks;
    std::thread sampler;
};

} // namespace bench
