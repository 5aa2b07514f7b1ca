#pragma once

// "Quit All ChatGPT Processes…": the stop sequence on its own, after a confirmation.

#include "platform/Alerts.h"

#include <QString>
#include <QStringList>

namespace veldrin::quitAll {

inline AlertRequest confirmationAlert() {
    return confirmation(
        QStringLiteral("Quit all ChatGPT processes?"),
        QStringLiteral("This closes ChatGPT, ChatGPT Alt, ChatGPT Tri, and any helper processes "
                       "they left behind."),
        QStringLiteral("Quit All"));
}

inline QString windowTitle() {
    return QStringLiteral("Quit All ChatGPT Processes");
}

inline QString openingLine() {
    return QStringLiteral("Requesting a normal quit…\n");
}

inline QString outcomeLine(const QStringList& survivors) {
    if (survivors.isEmpty())
        return QStringLiteral("All ChatGPT processes have stopped.\n");
    return QStringLiteral("Could not stop ") + QString::number(survivors.size()) +
           QStringLiteral(" process(es): ") + survivors.join(QStringLiteral(", ")) + QStringLiteral(".\n");
}

} // namespace veldrin::quitAll
