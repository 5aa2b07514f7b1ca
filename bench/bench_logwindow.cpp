// Streams real child-process output through a log window, offscreen, the way
// a chatty controller run does: a child (/bin/cat of a generated file) writes
// the text to a pipe, a reader thread takes it in 4 KB reads, decodes it and
// hands the pieces on.
//
// Two hand-overs, reported together:
//   batched  — pieces go to LogWindow::append (the application's path), 100 MB;
//   naive    — one queued insertion (insert + scroll) per 4 KB read, 10 MB.
// For each: throughput, the longest stretch the main thread was busy (the
// longest turn of the event loop; the longest gap between ticks of a 1 ms
// timer beside it), the main thread's CPU share and page faults, and whether
// the transcript is byte for byte what the child wrote.
//
// Every measurement runs in a fresh process of this program, so one run's
// freed heap does not shape the next one's allocations; the repetitions of
// the two are interleaved so that a slow spell of the machine does not land
// on one side of the comparison only. The summary compares medians and takes
// the worst stretch.
//
// Usage: bench_logwindow [--mb=100] [--baseline-mb=10] [benchmark flags]
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
std::string self;
std::vector<Result> batchedRuns;
std::vector<Result> naiveRuns;

// The generated text, written once per size.
QString sourceFile(qsizetype bytes) {
    static std::map<qsizetype, std::unique_ptr<QTemporaryFile>> files;
    auto& file = files[bytes];
    if (!file) {
        file = std::make_unique<QTemporaryFile>();
        const QByteArray text = generateText(bytes);
        if (!file->open() || file->write(text) != text.size() || !file->flush())
            return {};
    }
    return file->fileName();
}

// Runs one measurement in a child process and reads back its result line.
std::optional<Result> measureInChild(const char* kind, qsizetype bytes) {
    const QString file = sourceFile(bytes);
    if (file.isEmpty())
        return std::nullopt;
    const auto child = spawnWithPipe(
        {self, std::string("--measure=") + kind, "--file=" + QFile::encodeName(file).toStdString()}, false);
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

void run(benchmark::State& state, const char* kind, qsizetype bytes, std::vector<Result>& runs) {
    for (auto _ : state) {
        const auto r = measureInChild(kind, bytes);
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
        state.counters["byte_exact"] = r->exact ? 1 : 0;
    }
}

void BM_LogWindowBatched(benchmark::State& state) {
    run(state, "batched", batchedBytes, batchedRuns);
}

void BM_NaivePerRead(benchmark::State& state) {
    run(state, "naive", baselineBytes, naiveRuns);
}

// The measuring process: `--measure=batched|naive --file=PATH`.
int measureMode(int argc, char** argv) {
    const bool batched = std::strcmp(argv[1], "--measure=batched") == 0;
    QString file;
    for (int i = 2; i < argc; ++i) {
        if (std::strncmp(argv[i], "--file=", 7) == 0)
            file = QFile::decodeName(argv[i] + 7);
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const Result r = measure(batched ? Handover::Batched : Handover::NaivePerRead, file);
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
    std::printf("%-22s %5.1f MB in %5.2f s = %5.1f MB/s, longest main-thread stretch %6.1f ms "
                "(1 ms timer gap %6.1f ms), main thread busy %3.0f%% (%ld page faults), "
                "byte-exact: %s\n",
                name, double(r.bytes) / megabyte, r.seconds, r.mbPerSecond(), r.longestStretchMs,
                r.longestTimerGapMs, 100 * r.busyShare, r.pageFaults, r.exact ? "yes" : "NO");
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
        const qsizetype mb = megabytesArg(argv[i], "--mb=", -1);
        const qsizetype base = megabytesArg(argv[i], "--baseline-mb=", -1);
        if (mb >= 0)
            batchedBytes = mb;
        else if (base >= 0)
            baselineBytes = base;
        else
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
                    benchmark::RegisterBenchmark("LogWindow/naive_per_read", BM_NaivePerRead)}) {
        b->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
        if (!repetitionsGiven)
            b->Repetitions(3);
    }
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 2;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    if (batchedRuns.empty() || naiveRuns.empty()) {
        std::printf("\nBoth benchmarks are needed for the comparison (do not filter one out).\n");
        return 1;
    }
    std::printf("\n");
    for (const Result& r : batchedRuns)
        printLine("LogWindow (batched)", r);
    for (const Result& r : naiveRuns)
        printLine("naive (per 4 KB read)", r);
    const double batchedRate = medianMbPerSecond(batchedRuns);
    const double naiveRate = medianMbPerSecond(naiveRuns);
    const double ratio = naiveRate > 0 ? batchedRate / naiveRate : 0;
    double worstStretch = 0;
    double worstTimerGap = 0;
    bool exact = true;
    for (const Result& r : batchedRuns) {
        worstStretch = std::max(worstStretch, r.longestStretchMs);
        worstTimerGap = std::max(worstTimerGap, r.longestTimerGapMs);
        exact = exact && r.exact;
    }
    for (const Result& r : naiveRuns)
        exact = exact && r.exact;
    const bool fast = batchedRate >= 15;
    const bool faster = ratio >= 10;
    const bool smooth = worstStretch <= 50;
    const auto verdict = [](bool met) { return met ? "met" : "MISSED"; };
    std::printf(
        "\nmedians of the runs above; the stretch is the worst batched run's (1 ms timer gap %.1f ms)\n\n",
        worstTimerGap);
    std::printf("%-40s %10s %10s %8s %10s  %s\n", "", "batched", "naive", "ratio", "target", "verdict");
    std::printf("%-40s %10.1f %10s %8s %10s  %s\n", "throughput (MB/s)", batchedRate, "", "", ">= 15",
                verdict(fast));
    std::printf("%-40s %10.1f %10.1f %7.1fx %10s  %s\n", "against naive insertion (MB/s)", batchedRate,
                naiveRate, ratio, ">= 10x", verdict(faster));
    std::printf("%-40s %10.1f %10s %8s %10s  %s\n", "longest main-thread stretch (ms)", worstStretch, "", "",
                "<= 50", verdict(smooth));
    std::printf("%-40s %10s %10s %8s %10s  %s\n", "transcript byte for byte", exact ? "yes" : "no", "", "",
                "yes", verdict(exact));
    return fast && faster && smooth && exact ? 0 : 1;
}
