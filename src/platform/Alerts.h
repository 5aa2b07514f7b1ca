#pragma once

// Modal alerts. Texts are shown exactly as given, never as markup.

#include <QString>
#include <QStringList>

#include <optional>

namespace veldrin {

enum class AlertStyle { warning, informational, critical };

// A single-choice list shown under the texts; the first item starts selected.
struct PopUpList {
    QStringList items;
    int width = 0; // points
    // What tells each item apart from another of the same text (a project's
    // folder, say), in the items' order; empty when there is nothing to tell.
    QStringList details;
};

struct AlertRequest {
    AlertStyle style = AlertStyle::warning;
    QString message;
    QString informativeText;
    // In order. The first is the default button (Return); "Cancel", or the
    // only button, is the one Escape chooses.
    QStringList buttons;
    std::optional<PopUpList> popUp;
    // For an informative text that holds a program's listing, whose columns
    // only line up in a fixed-width font.
    bool fixedPitchInformativeText = false;
};

// The index of the chosen button in AlertRequest::buttons; -1 when the alert
// went away without one.
using AlertAnswer = int;
inline constexpr AlertAnswer firstButton = 0;

struct AlertResponse {
    AlertResponse(AlertAnswer chosen = -1, qsizetype item = 0) : button(chosen), selectedItem(item) {}
    AlertAnswer button;
    qsizetype selectedItem; // of the pop-up list
};

class Alerts {
public:
    virtual ~Alerts() = default;
    // Main thread. Waits until the user has answered. With a pop-up list the
    // list has the focus, so that arrows choose and Return confirms.
    virtual AlertResponse runModal(const AlertRequest& request) = 0;
    // Main thread. The system's alert sound: a request that has to wait for
    // one already under way is heard, not lost.
    virtual void beep() = 0;
    // Main thread. If an alert is open, brings it to the front and answers true.
    virtual bool raiseOpenAlert() = 0;
    // Main thread. Whether an alert is open.
    virtual bool alertOpen() const = 0;
};

inline const QString cancelButton = QStringLiteral("Cancel");

// The warning that asks before an operation: its own button first, then "Cancel".
inline AlertRequest confirmation(const QString& message, const QString& informativeText,
                                 const QString& confirmButton) {
    return {AlertStyle::warning, message, informativeText, {confirmButton, cancelButton}, std::nullopt};
}

// Asks; true only for the first button.
inline bool confirmed(Alerts& alerts, const AlertRequest& request) {
    return alerts.runModal(request).button == firstButton;
}

} // namespace veldrin
