// app-processes lines: whatever the controller prints, only plain process
// numbers above 1 ever follow "--" on the kill command line.
#include "FuzzCheck.h"
#include "appcontrol/StopSequence.h"
#include "exec/AppProcesses.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    veldrin::ShellResult result;
    result.status = 0;
    result.output = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList ids = veldrin::appProcessIDs(veldrin::appProcessAnswer(result).lines);
    const std::optional<QStringList> argv = veldrin::killCommand("/bin/kill", "-TERM", ids);
    if (!argv)
        return 0;
    FUZZ_CHECK(argv->size() > 3 && argv->at(2) == QLatin1String("--"));
    for (const QString& id : argv->mid(3)) {
        FUZZ_CHECK(!id.isEmpty() && !id.startsWith(QLatin1Char('-')));
        bool number = false;
        const qulonglong value = id.toULongLong(&number);
        FUZZ_CHECK(!number || value > 1); // too long to be a number is left to kill
        for (const QChar c : id)
            FUZZ_CHECK(c >= QLatin1Char('0') && c <= QLatin1Char('9'));
    }
    return 0;
}
