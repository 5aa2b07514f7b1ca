// Streams real child-process output through a log window, offscreen, the way
// a chatty controller run does: a child (/bin/cat of a generated file) writes
// the text to a pipe, a reader thread takes it in 4 KB reads, decodes it and
// hands the pieces on.
//
// Two hand-overs, reported together:
//   batched  — pieces go to LogWindow::append (the application's path), 100 MB;
//   history  — the same, each piece also written to a run history file, as
//              every run of the application is (the file is compared too);
//   naive    — one queued insertion (insert + scroll) per 4 KB read, 10 MB;
// and two shapes of output through the application's path:
//   long line — 2 MB without a single line break;
//   memory    — 1 GB (the 100 MB text ten times over), for the peak resident
//               memory of the process while the window keeps only the end.
// For each: throughput, the longest stretch the main thread was busy (the
// longest turn of the event loop; the longest gap between ticks of a 1 ms
// timer beside it), the main thread's CPU share and page faults, the peak
// resident memory, and whether the transcript is byte for byte what the child
// wrote (its end, after the notice, once the window keeps only the end).
//
// Every measurement runs in a fresh process of this program, so one run's
// freed heap does not shape the next one's allocations; the repetitions of
// the two are interleaved so that a slow spell of the machine does not land
// on one side of the comparison only. The summary compares medians and takes
// the worst stretch.
//
// Usage: bench_logwindow [--mb=100] [--baseline-mb=10] [--line-mb=2] [--memory-mb=1000]
//                       [benchmark flags]
// Exit status 1 when a target is missed.

#include "LogStreamMeasure.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryFile>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace veldrin::bench;

namespace {

qsizetype batchedBytes = 100 * megabyte;
qsizetype baselineBytes = 10 * megabyte;
qsizetype lineBytes = 2 * megabyte;
qsizetype memoryBytes = 1000 * megabyte;
std::string self;
std::vector<Result> batchedRuns;
std::vector<Result> historyRuns;
std::vector<Result> naiveRuns;
std::vector<Result> lineRuns;
std::vector<Result> memoryRuns;

// The generated text, written once per size and shape.
QString sourceFile(qsizetype bytes, bool oneLine = false) {
    static std::map<std::pair<qsizetype, bool>, std::unique_ptr<QTemporaryFile>> files;
    auto& file = files[{bytes, oneLine}];
    if (!file) {
        file = std::make_unique<QTemporaryFile>();
        const QByteArray text = oneLine ? generateLine(bytes) : generateText(bytes);
        if (!file->open() || file->write(text) != text.size() || !file->flush())
            return {};
    }
    return file->fileName();
}

// Runs one measurement in a child process and reads back its result line.
std::optional<Result> measureInChild(const char* kind, const QString& file, int repeats) {
    if (file.isEmpty())
        return std::nullopt;
    const auto child = spawnWithPipe({self, std::string("--measure=") + kind,
                                      "--file=" + QFile::encodeName(file).toStdString(),
                                      "--repeat=" + std::to_string(repeats)},
                                     false);
    if (!child)
        return std::nullopt;
    QByteArray output;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(child->second, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        output.append(buf, n);
    }
    ::close(child->second);
    int status = 0;
    ::waitpid(child->first, &status, 0);
    return Result::fromLine(output);
}

void run(benchmark::State& state, const char* kind, const QString& file, int repeats,
         std::vector<Result>& runs) {
    for (auto _ : state) {
        const auto r = measureInChild(kind, file, repeats);
        if (!r) {
            state.SkipWithError("the measuring process failed");
            return;
        }
        runs.push_back(*r);
        state.SetIterationTime(r->seconds);
        state.counters["MB"] = double(r->bytes) / megabyte;
        state.counters["MB_per_s"] = r->mbPerSecond();
        state.counters["longest_stretch_ms"] = r->longestStretchMs;
        state.counters["longest_timer_gap_ms"] = r->longestTimerGapMs;
        state.counters["main_busy_pct"] = 100 * r->busyShare;
        state.counters["main_page_faults"] = double(r->pageFaults);
        state.counters["peak_resident_MB"] = r->peakResidentMb;
        state.counters["byte_exact"] = r->exact ? 1 : 0;
    }
}

void BM_LogWindowBatched(benchmark::State& state) {
    run(state, "batched", sourceFile(batchedBytes), 1, batchedRuns);
}

void BM_WithHistory(benchmark::State& state) {
    run(state, "history", sourceFile(batchedBytes), 1, historyRuns);
}

void BM_NaivePerRead(benchmark::State& state) {
    run(state, "naive", sourceFile(baselineBytes), 1, naiveRuns);
}

void BM_LongLine(benchmark::State& state) {
    run(state, "batched", sourceFile(lineBytes, true), 1, lineRuns);
}

// The batched text over and over, so that no gigabyte file is needed.
void BM_Memory(benchmark::State& state) {
    const int repeats = int(std::max<qsizetype>(1, (memoryBytes + batchedBytes / 2) / batchedBytes));
    run(state, "batched", sourceFile(batchedBytes), repeats, memoryRuns);
}

// The measuring process: `--measure=batched|history|naive --file=PATH [--repeat=N]`.
int measureMode(int argc, char** argv) {
    const Handover handover = std::strcmp(argv[1], "--measure=batched") == 0   ? Handover::Batched
                              : std::strcmp(argv[1], "--measure=history") == 0 ? Handover::WithHistory
                                                                               : Handover::NaivePerRead;
    QString file;
    int repeats = 1;
    for (int i = 2; i < argc; ++i) {
        if (std::strncmp(argv[i], "--file=", 7) == 0)
            file = QFile::decodeName(argv[i] + 7);
        else if (std::strncmp(argv[i], "--repeat=", 9) == 0)
            repeats = std::max(1, std::atoi(argv[i] + 9));
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const Result r = measure(handover, file, repeats);
    const QByteArray line = r.toLine();
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    return r.bytes > 0 ? 0 : 1;
}

qsizetype megabytesArg(const char* arg, const char* prefix, qsizetype fallback) {
    const size_t n = std::strlen(prefix);
    if (std::strncmp(arg, prefix, n) != 0)
        return fallback;
    return qsizetype(std::atof(arg + n) * megabyte);
}

void printLine(const char* name, const Result& r) {
    std::printf("%-22s %6.1f MB in %6.2f s = %5.1f MB/s, longest main-thread stretch %6.1f ms "
                "(1 ms timer gap %6.1f ms), main thread busy %3.0f%% (%ld page faults), "
                "peak resident %5.1f MB, byte-exact: %s\n",
                name, double(r.bytes) / megabyte, r.seconds, r.mbPerSecond(), r.longestStretchMs,
                r.longestTimerGapMs, 100 * r.busyShare, r.pageFaults, r.peakResidentMb,
                r.exact ? "yes" : "NO");
}

double medianMbPerSecond(std::vector<Result> runs) {
    std::sort(runs.begin(), runs.end(),
              [](const Result& a, const Result& b) { return a.mbPerSecond() < b.mbPerSecond(); });
    const size_t n = runs.size();
    return n % 2 ? runs[n / 2].mbPerSecond()
                 : (runs[n / 2 - 1].mbPerSecond() + runs[n / 2].mbPerSecond()) / 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strncmp(argv[1], "--measure=", 10) == 0)
        return measureMode(argc, argv);

    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        bool taken = false;
        for (auto [prefix, bytes] : {std::pair{"--mb=", &batchedBytes},
                                     {"--baseline-mb=", &baselineBytes},
                                     {"--line-mb=", &lineBytes},
                                     {"--memory-mb=", &memoryBytes}}) {
            const qsizetype given = megabytesArg(argv[i], prefix, -1);
            if (given >= 0)
                *bytes = given;
            taken = taken || given >= 0;
        }
        if (!taken)
            args.push_back(argv[i]);
    }
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave); // a later flag of the user's wins
    const bool repetitionsGiven = std::any_of(args.begin(), args.end(), [](const char* a) {
        return std::strncmp(a, "--benchmark_repetitions", 23) == 0;
    });
    int count = int(args.size());
    args.push_back(nullptr);

    QCoreApplication app(count, args.data());
    self = QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();

    for (auto* b : {benchmark::RegisterBenchmark("LogWindow/batched", BM_LogWindowBatched),
                    benchmark::RegisterBenchmark("LogWindow/with_history", BM_WithHistory),
                    benchmark::RegisterBenchmark("LogWindow/naive_per_read", BM_NaivePerRead),
                    benchmark::RegisterBenchmark("LogWindow/long_line", BM_LongLine)}) {
        b->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
        if (!repetitionsGiven)
            b->Repetitions(3);
    }
    // A gigabyte takes a while; once is enough for a peak.
    auto* memory = benchmark::RegisterBenchmark("LogWindow/memory", BM_Memory);
    memory->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
    if (!repetitionsGiven)
        memory->Repetitions(1);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 2;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    if (batchedRuns.empty() || historyRuns.empty() || naiveRuns.empty() || lineRuns.empty() ||
        memoryRuns.empty()) {
        std::printf("\nAll five benchmarks are needed for the table (do not filter one out).\n");
        return 1;
    }
    std::printf("\n");
    for (const Result& r : batchedRuns)
        printLine("LogWindow (batched)", r);
    for (const Result& r : historyRuns)
        printLine("with run history", r);
    for (const Result& r : naiveRuns)
        printLine("naive (per 4 KB read)", r);
    for (const Result& r : lineRuns)
        printLine("one line, no breaks", r);
    for (const Result& r : memoryRuns)
        printLine("memory (repeated)", r);
    const double batchedRate = medianMbPerSecond(batchedRuns);
    const double naiveRate = medianMbPerSecond(naiveRuns);
    const double ratio = naiveRate > 0 ? batchedRate / naiveRate : 0;
    const double historyRate = medianMbPerSecond(historyRuns);
    const double historyShare = batchedRate > 0 ? historyRate / batchedRate : 0;
    double worstStretch = 0;
    double worstTimerGap = 0;
    double worstLineStretch = 0;
    double peakResident = 0;
    bool exact = true;
    for (const Result& r : historyRuns)
        worstStretch = std::max(worstStretch, r.longestStretchMs);
    for (const Result& r : batchedRuns) {
        worstStretch = std::max(worstStretch, r.longestStretchMs);
        worstTimerGap = std::max(worstTimerGap, r.longestTimerGapMs);
    }
    for (const Result& r : lineRuns)
        worstLineStretch = std::max(worstLineStretch, r.longestStretchMs);
    for (const Result& r : memoryRuns)
        peakResident = std::max(peakResident, r.peakResidentMb);
    for (const auto* runs : {&batchedRuns, &historyRuns, &naiveRuns, &lineRuns, &memoryRuns}) {
        for (const Result& r : *runs)
            exact = exact && r.exact;
    }
    const bool fast = batchedRate >= 15;
    const bool faster = ratio >= 10;
    const bool smooth = worstStretch <= 50;
    const bool historyCheap = historyShare >= 0.9;
    const bool lineSmooth = worstLineStretch < 50;
    const bool light = peakResident < 300;
    const auto verdict = [](bool met) { return met ? "met" : "MISSED"; };
    const std::string lineLabel =
        "longest stretch, " + std::to_string(lineBytes / megabyte) + " MB line (ms)";
    const std::string memoryLabel =
        "peak resident, " + std::to_string(memoryRuns.front().bytes / megabyte) + " MB streamed (MB)";
    std::printf(
        "\nmedians of the runs above; a stretch is the worst run's (batched 1 ms timer gap %.1f ms)\n\n",
        worstTimerGap);
    std::printf("%-40s %10s %10s %8s %10s  %s\n", "", "batched", "naive", "ratio", "target", "verdict");
    std::printf("%-40s %10.1f %10s %8s %10s  %s\n", "throughput (MB/s)", batchedRate, "", "", ">= 15",
                verdict(fast));
    std::printf("%-40s %10.1f %10.1f %7.1fx %10s  %s\n", "against naive insertion (MB/s)", batchedRate,
                naiveRate, ratio, ">= 10x", verdict(faster));
    std::printf("%-40s %10.1f %10s %7.2fx %10s  %s\n", "with run history (MB/s)", historyRate, "",
                historyShare, ">= 0.90x", verdict(historyCheap));
    std::printf("%-40s %10.1f %10s %8s %10s  %s\n", "longest main-thread stretch (ms)", worstStretch, "", "",
                "<= 50", verdict(smooth));
    std::printf("%-40s %10.1f %10s %8s %10s  %s\n", lineLabel.c_str(), worstLineStretch, "", "", "< 50",
                verdict(lineSmooth));
    std::printf("%-40s %10.1f %10s %8s %10s  %s\n", memoryLabel.c_str(), peakResident, "", "", "< 300",
                verdict(light));
    std::printf("%-40s %10s %10s %8s %10s  %s\n", "transcript byte for byte", exact ? "yes" : "no", "", "",
                "yes", verdict(exact));
    return fast && faster && historyCheap && smooth && lineSmooth && light && exact ? 0 : 1;
}
