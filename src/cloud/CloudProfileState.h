#pragma once

#include <QString>
#include <QtGlobal>

namespace veldrin {

// One profile's cloud mode ("up", "down", "both", "off") and what it offers.
struct CloudProfileState {
    QString mode;
    qint64 projects = 0;
    qint64 chats = 0;
    friend bool operator==(const CloudProfileState&, const CloudProfileState&) = default;
};

} // namespace veldrin
