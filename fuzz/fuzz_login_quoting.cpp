// The login command line for any controller path: AppleScript's reading of
// the escaped text gives back the command line, and a shell's reading of the
// quoted path gives back the path.
#include "FuzzCheck.h"
#include "cloud/Login.h"

namespace {

QString readAppleScriptLiteral(const QString& body) {
    QString out;
    for (qsizetype i = 0; i < body.size(); ++i)
        out += body[i] == QLatin1Char('\\') && i + 1 < body.size() ? body[++i] : body[i];
    return out;
}

// A POSIX shell's reading of one word made of single-quoted parts and
// backslash-escaped characters; nothing else may appear.
std::optional<QString> readShellWord(const QString& word) {
    QString out;
    qsizetype i = 0;
    while (i < word.size()) {
        if (word[i] == QLatin1Char('\'')) {
            const qsizetype close = word.indexOf(QLatin1Char('\''), i + 1);
            if (close < 0)
                return std::nullopt;
            out += word.mid(i + 1, close - i - 1);
            i = close + 1;
        } else if (word[i] == QLatin1Char('\\') && i + 1 < word.size()) {
            out += word[i + 1];
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const QString path = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString commandLine = veldrin::cloudLogin::commandLine(path, QStringLiteral("join"));
    FUZZ_CHECK(commandLine.endsWith(QStringLiteral(" cloud join")));
    FUZZ_CHECK(readShellWord(veldrin::cloudLogin::shellQuoted(path)) == path);

    const QString script = veldrin::cloudLogin::osascriptArguments(commandLine).at(3);
    const QString prefix = QStringLiteral("tell application \"Terminal\" to do script \"");
    FUZZ_CHECK(script.startsWith(prefix) && script.endsWith(QLatin1Char('"')));
    const QString body = script.mid(prefix.size()).chopped(1);
    // The literal ends only at its last quotation mark: every other one is escaped.
    for (qsizetype i = 0; i < body.size(); ++i) {
        if (body[i] == QLatin1Char('\\'))
            ++i;
        else
            FUZZ_CHECK(body[i] != QLatin1Char('"'));
    }
    FUZZ_CHECK(readAppleScriptLiteral(body) == commandLine);
    // The terminal's shell runs the same line first, whatever follows it.
    FUZZ_CHECK(veldrin::cloudLogin::terminalCommand(commandLine)
                   .last()
                   .startsWith(commandLine + QStringLiteral("; ")));
    return 0;
}
