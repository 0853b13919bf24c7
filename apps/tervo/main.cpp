#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>

#include "app/DemoMode.h"
#include "app/TervoApp.h"
#include "widgets/Pictures.h"

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

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tervo"));
    QApplication::setOrganizationName(QStringLiteral("ZMT"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("QT570 temperature controller software"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption demo(
        QStringLiteral("demo"),
        QStringLiteral("Run against emulated controllers: COM1 (addresses 0-3, 9600 baud) and "
                       "COM2 (address 5, 19200 baud)."));
    parser.addOption(demo);
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("A record file to open."));
    parser.process(application);
    quitOnSignals(application);

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

    tervo::gui::TervoApp tervo;
    application.setWindowIcon(tervo::gui::applicationIcon());
    tervo.start(options);
    return g_quitRequested ? 0 : application.exec();
}
