#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>

#include "app/CTervoApp.h"
#include "app/DemoMode.h"
#include "widgets/Pictures.h"

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

    tervo::gui::CTervoApp tervo;
    application.setWindowIcon(tervo::gui::applicationIcon());
    tervo.start(options);
    return application.exec();
}
