#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QSocketNotifier>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "../VersionNote.h"
#include "core/work/RecordWriter.h"
#include "gui/Views.h"
#include "gui/app/Language.h"
#include "gui/app/Settings.h"
#include "gui/app/TervoApp.h"
#include "gui/demo/DemoMode.h"
#include "gui/widgets/Pictures.h"
#include "net/MqttPublisher.h"

namespace {

int g_signalPipe[2] = {-1, -1};
bool g_quitRequested = false;

void onSignal(int) {
    const char byte = 1;
    (void)!::write(g_signalPipe[1], &byte, 1);
}

// Ctrl-C or a kill ends the event loop like a normal quit, so the demo controllers are stopped
// and their links removed on the way out.
void quitOnSignals(QApplication& application) {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &application);
    QObject::connect(notifier, &QSocketNotifier::activated, &application, [] {
        g_quitRequested = true;
        QApplication::exit(0);  // ends a modal loop (the start window's, say) as well
    });
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);
}

void describe(QCoreApplication& application, QCommandLineParser& parser,
              const QCommandLineOption& demo, const QCommandLineOption& lang) {
    QCoreApplication::setApplicationName(QStringLiteral("Tervo"));
    QCoreApplication::setOrganizationName(QStringLiteral("ZMT"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TERVO_VERSION));
    parser.setApplicationDescription(QStringLiteral("QT570 temperature controller software"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(demo);
    parser.addOption(lang);
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("A record file to open."));
    parser.process(application);
}

bool hasOption(int argc, char* argv[], std::initializer_list<const char*> options) {
    for (int i = 1; i < argc; ++i) {
        for (const char* option : options) {
            if (std::strcmp(argv[i], option) == 0) {
                return true;
            }
        }
    }
    return false;
}

// --help and --version answer on the terminal, also where there is no display to open.
bool asksForVersion(int argc, char* argv[]) {
    return hasOption(argc, argv, {"-v", "--version"});
}
bool asksForHelp(int argc, char* argv[]) {
    return hasOption(argc, argv, {"-h", "-?", "--help", "--help-all"});
}

}  // namespace

int main(int argc, char* argv[]) {
    const QCommandLineOption demo(
        QStringLiteral("demo"),
        QStringLiteral("Run against emulated controllers: COM1 (addresses 0-3, 9600 baud) and "
                       "COM2 (address 5, 19200 baud)."));
    const QCommandLineOption lang(
        QStringLiteral("lang"),
        QStringLiteral("The interface language of this run: zh (Chinese, the default) or en "
                       "(English). Overrides TERVO_LANG and the language kept in the settings."),
        QStringLiteral("zh|en"));
    if (asksForVersion(argc, argv)) {
        std::fputs("Tervo " TERVO_VERSION "\n" TERVO_LICENCE_NOTE, stdout);
        return 0;
    }
    if (asksForHelp(argc, argv)) {
        QCoreApplication terminal(argc, argv);
        QCommandLineParser parser;
        describe(terminal, parser, demo, lang);  // prints and ends the program
        return 0;
    }

    QApplication application(argc, argv);
    // Qt takes the locale from the environment; numbers stay in the '.' form whatever it is,
    // also in the libraries Tervo calls.
    std::setlocale(LC_NUMERIC, "C");
    QCommandLineParser parser;
    describe(application, parser, demo, lang);
    quitOnSignals(application);
    tervo::gui::installLanguage(
        application,
        tervo::gui::chooseLanguage(parser.value(lang), qEnvironmentVariable("TERVO_LANG"),
                                   tervo::gui::Settings().language()));

    tervo::gui::DemoMode demoMode;
    tervo::gui::StartOptions options;
    options.files = parser.positionalArguments();
    if (parser.isSet(demo)) {
        QString error;
        if (!demoMode.start(&error)) {
            std::fprintf(stderr, "tervo: demo mode could not start: %s\n", qPrintable(error));
            return 1;
        }
        options.statusNote = tervo::gui::DemoMode::statusNote();
    }

    int status = 0;
    {
        tervo::gui::TervoApp tervo;
        tervo::gui::registerViews(tervo);
        application.setWindowIcon(tervo::gui::applicationIcon());
        tervo.start(options);
        status = g_quitRequested ? 0 : application.exec();
    }
    // The works' publishers say "offline" on their own threads; they end before the process's
    // exit handlers take the TLS library down.
    tervo::net::finishStoppedPublishers();
    // A crash's journal being replayed into a history's file is finished before the process
    // goes (cut off, the next open would only lay it over the file again).
    tervo::recordRecovery().waitAll();
    return status;
}
