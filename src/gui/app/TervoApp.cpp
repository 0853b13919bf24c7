#include "gui/app/TervoApp.h"

#include <QApplication>
#include <QPrinter>
#include <QScreen>

#include "gui/alarms/AlarmCenter.h"
#include "gui/app/MainWindow.h"
#include "gui/app/PasswordDialog.h"
#include "gui/app/Settings.h"
#include "gui/app/StartWindow.h"
#include "gui/widgets/Fonts.h"
#include "gui/widgets/Pictures.h"
#include "gui/widgets/Prompts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

TervoApp::TervoApp() : m_alarms(std::make_unique<AlarmCenter>()) {
    installFontSubstitutions();
}

TervoApp::~TervoApp() {
    m_mainWindow.reset();
}

void TervoApp::start(const StartOptions& options) {
    // The start window closes before the main window exists; that must not end the run.
    qApp->setQuitOnLastWindowClosed(false);
    applyPortMap(Settings());
    if (options.showStartWindow) {
        StartWindow splash;
        // The geometry as well, for desktops without a window manager to maximize windows.
        splash.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
        splash.setWindowState(Qt::WindowMaximized);
        splash.exec();
        setProtection(splash.protectedMode(), splash.entryPassword());
    }
    MainWindow& frame = createMainWindow(options.statusNote);
    for (const QString& file : options.files) {
        if (!frame.openRecordFile(file)) {
            qWarning("tervo: %s was not opened", qPrintable(file));
        }
    }
    frame.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    frame.showMaximized();
    qApp->setQuitOnLastWindowClosed(true);
}

MainWindow& TervoApp::createMainWindow(const QString& statusNote) {
    m_mainWindow = std::make_unique<MainWindow>(*this, statusNote);
    return *m_mainWindow;
}

void TervoApp::setProtection(bool on, const QString& password) {
    m_protected = on;
    m_password = on ? password : QString();
}

bool TervoApp::confirmClose(QWidget* parent) {
    if (m_protected) {
        return checkPassword(parent);
    }
    return messageBox(parent, trc("TervoApp", "确实要退出程序！！！"), PromptButtons::OkCancel) ==
           PromptAnswer::Ok;
}

bool TervoApp::checkPassword(QWidget* parent) {
    PasswordDialog dialog(PasswordDialog::Mode::Check, m_password, parent);
    return prompts().runDialog(dialog) == QDialog::Accepted;
}

void TervoApp::setTemplate(WindowKind kind, ViewTemplate view) {
    m_templates[static_cast<size_t>(kind)] = std::move(view);
    emit templatesChanged();
}

const ViewTemplate& TervoApp::viewTemplate(WindowKind kind) const {
    return m_templates[static_cast<size_t>(kind)];
}

bool TervoApp::hasTemplate(WindowKind kind) const {
    return static_cast<bool>(m_templates[static_cast<size_t>(kind)]);
}

QIcon TervoApp::windowIcon() const {
    return applicationIcon();
}

QPrinter& TervoApp::printer() {
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        // The printer set-up chosen in an earlier run.
        const Settings::PrinterSetup setup = Settings().printerSetup();
        if (!setup.name.isEmpty() && m_printer->outputFormat() == QPrinter::NativeFormat) {
            m_printer->setPrinterName(setup.name);
        }
        m_printer->setPageOrientation(setup.orientation == 1 ? QPageLayout::Landscape
                                                             : QPageLayout::Portrait);
        if (setup.pageSize >= 0 && setup.pageSize <= QPageSize::LastPageSize) {
            m_printer->setPageSize(QPageSize(static_cast<QPageSize::PageSizeId>(setup.pageSize)));
        }
    }
    return *m_printer;
}

PublishChoice TervoApp::publishChoice() const {
    return Settings().publishChoice();
}

void TervoApp::openParameters(const LinkSettings& link) {
    if (m_mainWindow) {
        m_mainWindow->openParametersFor(link);
    }
}

void TervoApp::noteRecentFile(const QString& path) {
    if (m_mainWindow) {
        m_mainWindow->noteRecentFile(path);
    }
}

QWidget* TervoApp::dialogParent() {
    return m_mainWindow.get();
}

}  // namespace tervo::gui
