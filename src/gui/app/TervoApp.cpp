#include "app/TervoApp.h"

#include <QApplication>
#include <QPrinter>
#include <QScreen>

#include "app/CommandIds.h"
#include "app/MainWindow.h"
#include "app/PasswordDialog.h"
#include "app/Settings.h"
#include "app/StartWindow.h"
#include "tools/ParameterView.h"
#include "tools/SerialTestView.h"
#include "widgets/Fonts.h"
#include "widgets/Pictures.h"
#include "widgets/Prompts.h"

namespace tervo::gui {

namespace {

TervoApp* g_instance = nullptr;

}  // namespace

TervoApp::TervoApp() {
    g_instance = this;
    installFontSubstitutions();
    setTemplate(kKindTest, [](const ViewContext& context) { return new SerialTestView(context); });
    setTemplate(kKindSet, [](const ViewContext& context) { return new ParameterView(context); });
}

TervoApp::~TervoApp() {
    m_mainFrame.reset();
    if (g_instance == this) {
        g_instance = nullptr;
    }
}

TervoApp* TervoApp::instance() {
    return g_instance;
}

void TervoApp::start(const StartOptions& options) {
    // The start window closes before the main window exists; that must not end the run.
    qApp->setQuitOnLastWindowClosed(false);
    loadPortMapSettings();
    if (options.showStartWindow) {
        StartWindow splash;
        // The geometry as well, for desktops without a window manager to maximize windows.
        splash.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
        splash.setWindowState(Qt::WindowMaximized);
        splash.exec();
        setProtection(splash.protectedMode(), splash.entryPassword());
    }
    MainWindow& frame = createMainFrame(options.statusNote);
    for (const QString& file : options.files) {
        if (!frame.openFrameworkFile(file)) {
            qWarning("tervo: %s was not opened: this build has no history view yet",
                     qPrintable(file));
        }
    }
    frame.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    frame.showMaximized();
    qApp->setQuitOnLastWindowClosed(true);
}

MainWindow& TervoApp::createMainFrame(const QString& statusNote) {
    m_mainFrame = std::make_unique<MainWindow>(*this, statusNote);
    return *m_mainFrame;
}

void TervoApp::setProtection(bool on, const QString& password) {
    m_protected = on;
    m_password = on ? password : QString();
}

bool TervoApp::confirmClose(QWidget* parent) {
    if (m_protected) {
        return checkPassword(parent);
    }
    return messageBox(parent, QStringLiteral("确实要退出程序！！！"), PromptButtons::OkCancel) ==
           kIdOk;
}

bool TervoApp::checkPassword(QWidget* parent) {
    PasswordDialog dialog(PasswordDialog::Mode::Check, m_password, parent);
    return prompts().runDialog(dialog) == QDialog::Accepted;
}

void TervoApp::setTemplate(int kind, ViewTemplate view) {
    if (kind >= 0 && kind < kKindCount) {
        m_templates[static_cast<size_t>(kind)] = std::move(view);
        emit templatesChanged();
    }
}

const ViewTemplate& TervoApp::viewTemplate(int kind) const {
    static const ViewTemplate none;
    return hasTemplate(kind) ? m_templates[static_cast<size_t>(kind)] : none;
}

bool TervoApp::hasTemplate(int kind) const {
    return kind >= 0 && kind < kKindCount &&
           static_cast<bool>(m_templates[static_cast<size_t>(kind)]);
}

QIcon TervoApp::windowIcon() const {
    return applicationIcon();
}

QPrinter& TervoApp::printer() {
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    }
    return *m_printer;
}

}  // namespace tervo::gui
