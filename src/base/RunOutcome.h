#pragma once

// How a run ended (a controller run, or a stop sequence), in the words its
// window's strip, its notification and its history entry use.

#include <QByteArray>
#include <QString>

#include <chrono>
#include <optional>

namespace veldrin {

struct RunOutcome {
    enum class Kind { succeeded, failed, stopped };
    Kind kind = Kind::succeeded;
    // The controller's status (for one killed by a signal, the signal's
    // number); none for a stop sequence, which has no program of its own.
    std::optional<int> exitCode;
    std::chrono::milliseconds duration{0};
    // Whether its history file holds the whole transcript: false when the
    // disk refused part of it (full, gone) or all of it.
    bool savedWhole = true;
};

bool operator==(const RunOutcome& a, const RunOutcome& b);

// The outcome as a run's history keeps it beside its transcript, and back;
// none for text that is not one.
QByteArray outcomeRecord(const RunOutcome& outcome);
std::optional<RunOutcome> parseOutcomeRecord(const QByteArray& record);

// A controller's end: exit code 0 succeeded, any other failed, and stopped
// when the user stopped it.
RunOutcome controllerOutcome(int status, bool stoppedByUser, std::chrono::milliseconds duration);

// What a controller run's transcript ends with: "\nFinished with exit code N.\n",
// after "Stopped by user.\n" when the user stopped it.
QString closingLine(int status);
inline const QString stoppedByUserLine = QStringLiteral("Stopped by user.\n");
// How the run of a saved transcript ended, read from its end; none for one
// without a closing line (a stop sequence, or a run Veldrin did not see end).
std::optional<RunOutcome> outcomeOfTranscript(const QString& transcriptEnd);

// "M:SS" (minutes past 59 keep counting: "75:03").
QString durationText(std::chrono::milliseconds duration);
// The window's strip: "Running — M:SS".
QString runningStripText(std::chrono::milliseconds elapsed);
// "Succeeded — exit code 0 · M:SS", "Failed — exit code N · M:SS", "Stopped — M:SS";
// without an exit code "Succeeded — M:SS" and "Failed — M:SS"; followed by
// " · not saved whole" when the history file lacks part of it.
QString outcomeStripText(const RunOutcome& outcome);
// A Recent Runs entry's result: "exit code 0", "failed, exit code N", "stopped";
// without an exit code "finished" and "failed"; followed by ", not saved
// whole" when the history file lacks part of it.
QString outcomeResultText(const RunOutcome& outcome);

} // namespace veldrin
