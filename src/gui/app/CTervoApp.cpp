#include "app/CTervoApp.h"

#include <QApplication>
#include <QPrinter>
#include <QScreen>

#include "app/CMainFrame.h"
#include "app/CPasswordDlg.h"
#include "app/CRegistryKey.h"
#include "app/CSplashWnd.h"
#include "app/CommandIds.h"
#include "tools/CSetView.h"
#include "tools/CTestView.h"
#include "widgets/Fonts.h"
#include "widgets/Pictures.h"
#include "widgets/Prompts.h"

namespace tervo::gui {

namespace {

CTervoApp* g_instance = nullptr;

}  // namespace

CTervoApp::CTervoApp() {
    g_instance = this;
    installFontSubstitutions();
    setTemplate(kKindTest, [](const ViewContext& context) { return new CTestView(context); });
    setTemplate(kKindSet, [](const ViewContext& context) { return new CSetView(context); });
}

CTervoApp::~CTervoApp() {
    m_mainFrame.reset();
    if (g_instance == this) {
        g_instance = nullptr;
    }
}

CTervoApp* CTervoApp::instance() {
    return g_instance;
}

void CTervoApp::start(const StartOptions& options) {
    // The start window closes before the main window exists; that must not end the run.
    qApp->setQuitOnLastWindowClosed(false);
    loadPortMapSettings();
    if (options.showStartWindow) {
        CSplashWnd splash;
        // The geometry as well, for desktops without a window manager to maximize windows.
        splash.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
        splash.setWindowState(Qt::WindowMaximized);
        splash.exec();
        setProtection(splash.protectedMode(), splash.entryPassword());
    }
    CMainFrame& frame = createMainFrame(options.statusNote);
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

CMainFrame& CTervoApp::createMainFrame(const QString& statusNote) {
    m_mainFrame = std::make_unique<CMainFrame>(*this, statusNote);
    return *m_mainFrame;
}

void CTervoApp::setProtection(bool on, const QString& password) {
    m_protected = on;
    m_password = on ? password : QString();
}

bool CTervoApp::confirmClose(QWidget* parent) {
    if (m_protected) {
        return checkPassword(parent);
    }
    return messageBox(parent, QStringLiteral("确实要退出程序！！！"), PromptButtons::OkCancel) ==
           kIdOk;
}

bool CTervoApp::checkPassword(QWidget* parent) {
    CPasswordDlg dialog(CPasswordDlg::Mode::Check, m_password, parent);
    return prompts().runDialog(dialog) == QDialog::Accepted;
}

void CTervoApp::setTemplate(int kind, ViewTemplate view) {
    if (kind >= 0 && kind < kKindCount) {
        m_templates[static_cast<size_t>(kind)] = std::move(view);
        emit templatesChanged();
    }
}

const ViewTemplate& CTervoApp::viewTemplate(int kind) const {
    static const ViewTemplate none;
    return hasTemplate(kind) ? m_templates[static_cast<size_t>(kind)] : none;
}

bool CTervoApp::hasTemplate(int kind) const {
    return kind >= 0 && kind < kKindCount &&
           static_cast<bool>(m_templates[static_cast<size_t>(kind)]);
}

QIcon CTervoApp::windowIcon() const {
    return applicationIcon();
}

QPrinter& CTervoApp::printer() {
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    }
    return *m_printer;
}

}  // namespace tervo::gui
