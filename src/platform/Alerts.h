#pragma once

// Modal alerts. Texts are shown exactly as given, never as markup.

#include <QString>
#include <QStringList>

namespace veldrin {

enum class AlertStyle { warning, informational, critical };

struct AlertRequest {
    AlertStyle style = AlertStyle::warning;
    QString message;
    QString informativeText;
    // In order. The first is the default button (Return); "Cancel", or the
    // only button, is the one Escape chooses.
    QStringList buttons;
};

// The index of the chosen button in AlertRequest::buttons; -1 when the alert
// went away without one.
using AlertAnswer = int;
inline constexpr AlertAnswer firstButton = 0;

class Alerts {
public:
    virtual ~Alerts() = default;
    // Main thread. Waits until the user has answered.
    virtual AlertAnswer runModal(const AlertRequest& request) = 0;
};

inline const QString cancelButton = QStringLiteral("Cancel");

// The warning that asks before an operation: its own button first, then "Cancel".
inline AlertRequest confirmation(const QString& message, const QString& informativeText,
                                 const QString& confirmButton) {
    return {AlertStyle::warning, message, informativeText, {confirmButton, cancelButton}};
}

// Asks; true only for the first button.
inline bool confirmed(Alerts& alerts, const AlertRequest& request) {
    return alerts.runModal(request) == firstButton;
}

} // namespace veldrin
