#include "menu/MenuText.h"

namespace veldrin {

namespace {

void appendEntries(QString& out, const std::vector<MenuEntry>& entries, int depth) {
    const QString indent(depth * 2, QLatin1Char(' '));
    for (const MenuEntry& e : entries) {
        out += indent;
        if (e.separator) {
            out += QStringLiteral("---\n");
            continue;
        }
        out += e.title;
        if (!e.enabled)
            out += QStringLiteral(" [disabled]");
        if (e.checkmark == Checkmark::on)
            out += QStringLiteral(" [on]");
        else if (e.checkmark == Checkmark::off)
            out += QStringLiteral(" [off]");
        if (!e.keyEquivalent.isEmpty())
            out += QStringLiteral(" [key ") + e.keyEquivalent + QLatin1Char(']');
        if (e.toolTip)
            out += QStringLiteral(" [tip: ") + *e.toolTip + QLatin1Char(']');
        out += QLatin1Char('\n');
        if (e.submenu)
            appendEntries(out, e.submenu->entries, depth + 1);
    }
}

} // namespace

QString menuText(const std::vector<MenuEntry>& entries) {
    QString out;
    appendEntries(out, entries, 0);
    return out;
}

} // namespace veldrin
