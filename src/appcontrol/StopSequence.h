#pragma once

// Stopping the three Codex apps: after the polite quit, whatever the
// controller still lists gets TERM, then KILL, and what is listed after that
// is handed back as the survivors.

#include "exec/Shell.h"
#include "platform/Sleeper.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace veldrin {

struct StopSequenceSetup {
    QString controller;
    QueryLimits queryLimits; // each app-processes query
    QueryLimits killLimits;  // each run of the kill program
    QString killProgram;     // /bin/kill
};

// Identifiers come from the controller's output. Only a plain decimal number
// above 1 names one process: "-1" would signal every process of the user, "0"
// our own group, and "--help" would be taken for an option.
bool isSignallableProcessID(const QString& id);

// [killProgram, signal, "--", the signallable identifiers in order]; none
// when not one of them is signallable.
std::optional<QStringList> killCommand(const QString& killProgram, const QString& signal,
                                       const QStringList& ids);

// The steps after the polite quit, on a background thread: 2 s, TERM for
// what is listed, 2 s, KILL for what is listed then, 1 s, and the last list.
// Progress lines go to `report`. Identifiers that are never signalled still
// count, so they come back as survivors. Ends early, with what it has, once
// `stop` is requested.
QStringList escalateStop(const StopSequenceSetup& setup, Sleeper& sleeper,
                         const std::function<void(const QString&)>& report, const StopToken& stop);

} // namespace veldrin
