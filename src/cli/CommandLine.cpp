#include "cli/CommandLine.h"

#include "menu/MenuBuilder.h"
#include "platform/qt/CoreServices.h"

#include <cstring>

namespace veldrin {

namespace {

void printVersion() {
    const std::unique_ptr<BundleInfo> info = makeBundleInfo();
    writeUtf8(stdout, composeVersionLabel(info->infoValue(QStringLiteral("CFBundleShortVersionString")),
                                          info->infoValue(QStringLiteral("CFBundleVersion"))) +
                          QLatin1Char('\n'));
}

bool is(const char* argument, const char* option) {
    return std::strcmp(argument, option) == 0;
}

// The option's own bytes, as they were typed.
int usageError(const QByteArray& problem) {
    std::fprintf(stderr, "veldrin: %s\n", problem.constData());
    printUsage(stderr);
    return 2;
}

} // namespace

void printUsage(FILE* out) {
    std::fputs("usage: veldrin [--demo] [--menu] [--print-menu] | --check | --autostart on|off | --version\n"
               "  --demo            run inside a throw-away sandbox against the simulated controller\n"
               "  --menu            open the status menu (of the Veldrin running, or of this one)\n"
               "  --print-menu      print the status menu as it would open now, then exit\n"
               "  --check           say what this desktop offers Veldrin and what is missing, then exit\n"
               "  --autostart on    start Veldrin at login from now on (off: no longer), then exit\n"
               "  --version         print the version and build, then exit\n",
               out);
}

void writeUtf8(FILE* out, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), out);
    std::fflush(out);
}

CommandLine parseCommandLine(int argc, char** argv) {
    CommandLine options;
    for (int i = 1; i < argc && !options.exitStatus; ++i) {
        const char* argument = argv[i];
        if (is(argument, "--demo")) {
            options.demo = true;
        } else if (is(argument, "--print-menu")) {
            options.printMenu = true;
        } else if (is(argument, "--menu")) {
            options.menu = true;
        } else if (is(argument, "--check")) {
            options.check = true;
        } else if (is(argument, "--autostart")) {
            if (i + 1 < argc && (is(argv[i + 1], "on") || is(argv[i + 1], "off")))
                options.autostart = is(argv[++i], "on");
            else
                options.exitStatus = usageError("--autostart needs on or off");
        } else if (is(argument, "--help") || is(argument, "-h")) {
            printUsage(stdout);
            options.exitStatus = 0;
        } else if (is(argument, "--version")) {
            printVersion();
            options.exitStatus = 0;
        } else {
            options.exitStatus = usageError(QByteArray("unknown option ") + argument);
        }
    }
    return options;
}

} // namespace veldrin
