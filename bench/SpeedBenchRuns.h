#pragma once

// The runs of the export speed benchmark: its options, each run in a process of its own with the CPU time
// and peak memory the kernel counted for it, and the tables of medians.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench::speed {

struct Size {
    int width, height;
    int64_t bitrate;
    int importWidth; // the longer side of the slide pictures an import writes for movies of this size

    static Size of(int height) {
        return height == 1080 ? Size{1920, 1080, 20'800'000, 1920} : Size{1280, 720, 10'800'000, 1280};
    }
};

struct Options {
    int photos = 20;
    int runs = 3;
    std::vector<int> heights = {720, 1080};
    bool stages = false;
    bool keep = false; // the folder of photos and shows stays, to run a child by hand
    // A child's measure, size and show folder.
    std::string child;
    int childHeight = 720;
    QString childFolder;

    static std::optional<Options> parse(int argc, char** argv) {
        Options options;
        for (int i = 1; i < argc; ++i) {
            const std::string option = argv[i];
            const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
            const auto number = [&] { return value ? std::atoi(value) : 0; };
            if (option == "--quick") {
                options.photos = 6;
                options.runs = 1;
                options.heights = {720};
            } else if (option == "--stages") {
                options.stages = true;
            } else if (option == "--keep") {
                options.keep = true;
            } else if (option == "--photos" && number() > 1) {
                options.photos = number();
                ++i;
            } else if (option == "--runs" && number() > 0) {
                options.runs = number();
                ++i;
            } else if (option == "--sizes" && value) {
                options.heights.clear();
                for (const QString& height : QString::fromLocal8Bit(value).split(','))
                    if (height.toInt() == 720 || height.toInt() == 1080)
                        options.heights.push_back(height.toInt());
                ++i;
            } else if (option == "--child" && value) {
                options.child = value;
                ++i;
            } else if (option == "--height" && number() > 0) {
                options.childHeight = number();
                ++i;
            } else if (option == "--folder" && value) {
                options.childFolder = QString::fromLocal8Bit(value);
                ++i;
            } else {
                std::fprintf(
                    stderr,
                    "usage: %s [--photos N] [--runs N] [--sizes 720,1080] [--stages] [--quick] [--keep]\n",
                    argv[0]);
                return std::nullopt;
            }
        }
        if (options.heights.empty())
            options.heights = {720, 1080};
        return options;
    }
};

inline double seconds(const timeval& value) {
    return double(value.tv_sec) + double(value.tv_usec) * 1e-6;
}

// What a child measured: the time and CPU time of its measure, and the frames it made.
struct Measure {
    double seconds = 0.0;
    double cpuSeconds = 0.0;
    double frames = 0.0;
    double firstFrameSeconds = 0.0; // of an export: from its start to the first frame in the movie
};

// Times a measure inside a child, CPU time of all its threads included.
class Stopwatch {
public:
    Stopwatch() : start(Clock::now()), cpuStart(processCpu()) {}
    Measure measure(double frames) const {
        return {std::chrono::duration<double>(Clock::now() - start).count(), processCpu() - cpuStart, frames};
    }

private:
    using Clock = std::chrono::steady_clock;
    static double processCpu() {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return seconds(usage.ru_utime) + seconds(usage.ru_stime);
    }
    Clock::time_point start;
    double cpuStart;
};

inline void report(const Measure& measure) {
    std::printf("RESULT %.6f %.6f %.0f %.6f\n", measure.seconds, measure.cpuSeconds, measure.frames,
                measure.firstFrameSeconds);
    std::fflush(stdout);
}

// One run in a process of its own.
struct ChildRun {
    bool ok = false;
    double processSeconds = 0.0; // from the start of the process to its exit
    double processCpuSeconds = 0.0;
    double peakBytes = 0.0;
    // From the child's RESULT line, or the whole process for a program that prints none.
    double seconds = 0.0;
    double cpuSeconds = 0.0;
    double frames = 0.0;
    double firstFrameSeconds = 0.0;
    QByteArray output; // all the child printed on stdout
};

// Runs `program` and waits for it. A fork (not a spawn that shares the parent's memory until the exec) so
// that the child's peak counts nothing of the parent but what it holds at that moment.
inline ChildRun spawn(const QString& program, const QStringList& arguments) {
    std::vector<QByteArray> storage{program.toLocal8Bit()};
    for (const QString& argument : arguments)
        storage.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0)
        return {};
    std::fflush(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    QByteArray printed;
    char buffer[4096];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
        printed.append(buffer, qsizetype(n));
    close(out[0]);
    ChildRun run;
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.processSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.processCpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    run.peakBytes = double(usage.ru_maxrss) * 1024.0;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.seconds = run.processSeconds;
    run.cpuSeconds = run.processCpuSeconds;
    run.output = printed;
    const qsizetype at = printed.lastIndexOf("RESULT ");
    if (at >= 0 && std::sscanf(printed.constData() + at, "RESULT %lf %lf %lf %lf", &run.seconds,
                               &run.cpuSeconds, &run.frames, &run.firstFrameSeconds) < 3)
        run.ok = false;
    if (!run.ok)
        std::fprintf(stderr, "%s failed (status %d): %s\n", argv[0], status, printed.constData());
    return run;
}

// The memory this process holds now, which a child forked from it starts with.
inline double residentMB() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / 1e6;
}

inline void printLoad(const char* when) {
    double load[3] = {0, 0, 0};
    getloadavg(load, 3);
    std::printf("%s: %u cores, load average %.1f %.1f %.1f; this process holds %.0f MB\n", when,
                std::max(1u, std::thread::hardware_concurrency()), load[0], load[1], load[2], residentMB());
    std::fflush(stdout);
}

// Every run by measure and size, and their medians.
class Results {
public:
    struct Row {
        double fps = 0.0, cpuMs = 0.0, peakMB = 0.0, firstFrameMs = 0.0;
    };

    void add(const std::string& name, int height, const ChildRun& run, int round) {
        if (!run.ok || run.seconds <= 0 || run.frames <= 0) {
            std::printf("run %d %5dp %-8s failed\n", round + 1, height, name.c_str());
            return;
        }
        const Row row{run.frames / run.seconds, run.cpuSeconds * 1000.0 / run.frames, run.peakBytes / 1e6,
                      run.firstFrameSeconds * 1000.0};
        rows[{name, height}].push_back(row);
        std::printf(
            "run %d %5dp %-8s %7.1f fps %7.1f CPU ms a frame, peak %5.0f MB, %.0f frames, process %.1f s",
            round + 1, height, name.c_str(), row.fps, row.cpuMs, row.peakMB, run.frames, run.processSeconds);
        if (row.firstFrameMs > 0)
            std::printf(", first frame after %.0f ms", row.firstFrameMs);
        std::printf("\n");
        std::fflush(stdout);
    }

    Row median(const std::string& name, int height) const {
        const auto found = rows.find({name, height});
        if (found == rows.end() || found->second.empty())
            return {};
        const auto middle = [&](double Row::*field) {
            std::vector<double> values;
            for (const Row& row : found->second)
                values.push_back(row.*field);
            std::sort(values.begin(), values.end());
            return values[values.size() / 2];
        };
        return {middle(&Row::fps), middle(&Row::cpuMs), middle(&Row::peakMB), middle(&Row::firstFrameMs)};
    }

    void print(bool stages) const {
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        const auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
        std::printf("\nmedians: frames a second, CPU ms a frame, peak MB; the export against ffmpeg\n");
        std::printf("%6s %28s %28s %8s %8s %8s %12s\n", "size", "export fps (cpu ms) peak",
                    "ffmpeg fps (cpu ms) peak", "speed", "cpu", "peak", "export first");
        for (const int height : {720, 1080}) {
            const Row e = median("export", height), f = median("ffmpeg", height);
            if (e.fps == 0 && f.fps == 0)
                continue;
            std::printf("%5dp %9.1f (%6.1f) %6.0f MB %9.1f (%6.1f) %6.0f MB %8.2f %8.2f %8.2f %9.0f ms\n",
                        height, e.fps, e.cpuMs, e.peakMB, f.fps, f.cpuMs, f.peakMB, ratio(e.fps, f.fps),
                        ratio(e.cpuMs, f.cpuMs), ratio(e.peakMB, f.peakMB), e.firstFrameMs);
        }
        std::printf("\ncores kept busy (fps x CPU ms a frame / 1000)\n%6s %8s %8s", "size", "export",
                    "ffmpeg");
        if (stages)
            std::printf(" %8s %8s", "encoder", "render");
        std::printf("\n");
        for (const int height : {720, 1080}) {
            const auto busy = [&](const char* name) {
                const Row row = median(name, height);
                return row.fps * row.cpuMs / 1000.0;
            };
            if (busy("export") == 0 && busy("ffmpeg") == 0)
                continue;
            std::printf("%5dp %8.1f %8.1f", height, busy("export"), busy("ffmpeg"));
            if (stages)
                std::printf(" %8.1f %8.1f", busy("encoder"), busy("render"));
            std::printf("\n");
        }
        if (!stages)
            return;
        std::printf("\nthe stages alone: the export against the encoder alone and against the CPUs' limit\n");
        std::printf("%6s %20s %20s %9s %9s\n", "size", "encoder fps (cpu ms)", "render fps (cpu ms)",
                    "/encoder", "/limit");
        for (const int height : {720, 1080}) {
            const Row e = median("export", height), enc = median("encoder", height),
                      r = median("render", height);
            if (enc.fps == 0 && r.fps == 0)
                continue;
            const double limit = r.cpuMs + enc.cpuMs > 0 ? cores * 1000.0 / (r.cpuMs + enc.cpuMs) : 0.0;
            std::printf("%5dp %12.1f (%5.1f) %12.1f (%5.1f) %9.2f %9.2f\n", height, enc.fps, enc.cpuMs, r.fps,
                        r.cpuMs, ratio(e.fps, enc.fps), ratio(e.fps, limit));
        }
        std::printf("\nthe export through the pool of buffers against the pipe\n%6s %28s %8s\n", "size",
                    "pool fps (cpu ms) peak", "speed");
        for (const int height : {720, 1080}) {
            const Row e = median("export", height), p = median("pool", height);
            if (p.fps > 0)
                std::printf("%5dp %9.1f (%6.1f) %6.0f MB %8.2f\n", height, p.fps, p.cpuMs, p.peakMB,
                            ratio(p.fps, e.fps));
        }
    }

private:
    std::map<std::pair<std::string, int>, std::vector<Row>> rows;
};

} // namespace bench::speed
