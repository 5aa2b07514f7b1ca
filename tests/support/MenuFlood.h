#pragma once

// A same-user client that floods Veldrin's exported menu with one kind of
// request while a second client asks the menu object for a property every
// 100 ms, as a panel would while drawing. What Veldrin must show under it:
// every probe answered promptly, the process alive, its memory bounded.

#include <QString>

#include <chrono>
#include <sys/types.h>

namespace veldrin::test {

enum class FloodKind {
    aboutToShow, // AboutToShow(0), over and over
    layoutNames, // GetLayout with a million property names
    propertyIds, // GetGroupProperties with a million ids
    property,    // GetProperty of one item
    click,       // "clicked" on one item (one that asks first, say)
    eventGroup,  // EventGroup with a million events
};

// The kind, for a table: "GetLayout, 10^6 names" and the like.
QString floodName(FloodKind kind, int elements = 1000000);

struct FloodResult {
    long calls = 0;        // flood requests answered
    int probes = 0;        // probes answered
    long worstProbeMs = 0; // the slowest probe's answer
    long residentBeforeKb = -1;
    long residentPeakKb = -1; // the most VmRSS seen during the flood
    bool alive = false;       // the process still runs at the end
};

// Floods `service`'s menu on the bus at `address` from two connections for
// `duration`; `item` is the id a click or GetProperty names; "many" is
// `elements`; `pid` is the process whose memory is read.
FloodResult floodMenu(const QString& address, const QString& service, pid_t pid, FloodKind kind,
                      std::chrono::milliseconds duration, int item = 1, int elements = 1000000);

// VmRSS of `pid` in kB, or -1.
long residentKb(pid_t pid);

} // namespace veldrin::test
