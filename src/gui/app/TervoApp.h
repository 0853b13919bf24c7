#pragma once

#include <QIcon>
#include <QObject>
#include <QStringList>
#include <array>
#include <memory>

#include "gui/app/LinkThreads.h"
#include "gui/app/ViewTemplate.h"

class QPrinter;
class QWidget;

namespace tervo::gui {

class AlarmCenter;
class MainWindow;

struct StartOptions {
    bool showStartWindow = true;
    // Text of a permanent label at the right of the status bar (demo mode), or empty.
    QString statusNote;
    // Files named on the command line.
    QStringList files;
};

// The application object: protected mode and its password, the view templates of the six
// window kinds, the link threads, the printer and the start-up sequence. One exists per run, on
// the user-interface thread; a QApplication must exist first. Views see it only as their
// ViewServices.
class TervoApp : public QObject, public ViewServices {
    Q_OBJECT
public:
    TervoApp();
    ~TervoApp() override;

    // Start window, main window, command-line files, then the main window shown maximized.
    void start(const StartOptions& options);
    MainWindow* mainWindow() const { return m_mainWindow.get(); }
    // The main window without the start window and without showing it (for tests).
    MainWindow& createMainWindow(const QString& statusNote = QString());

    bool protectedMode() const override { return m_protected; }
    const QString& entryPassword() const { return m_password; }
    // Set once by the start window.
    void setProtection(bool on, const QString& password);

    // Close confirmation of child windows and the main window.
    bool confirmClose(QWidget* parent);
    // Protected mode only: the entry password asked in check mode; true when it was given.
    bool checkPassword(QWidget* parent) override;
    // True while the main window closes all its children (they do not ask again).
    bool closingAll() const { return m_closingAll; }
    void setClosingAll(bool on) { m_closingAll = on; }

    // The view template of `kind`; kinds without one have their commands disabled. The
    // executable registers the views (registerViews).
    void setTemplate(WindowKind kind, ViewTemplate view);
    const ViewTemplate& viewTemplate(WindowKind kind) const;
    bool hasTemplate(WindowKind kind) const;

    // The link threads that carry out every window's exchanges.
    LinkThreads& links() override { return m_links; }

    QIcon windowIcon() const;
    QPrinter& printer() override;

    // The rest of what views use, carried out by the main window and the settings.
    PublishChoice publishChoice() const override;
    void openParameters(const LinkSettings& link) override;
    void noteRecentFile(const QString& path) override;
    QWidget* dialogParent() override;
    AlarmCenter& alarms() override { return *m_alarms; }

signals:
    void templatesChanged();

private:
    bool m_protected = false;
    QString m_password;
    bool m_closingAll = false;
    std::array<ViewTemplate, kWindowKindCount> m_templates;
    // Declared before the main window, so the windows are gone before the threads stop and
    // before the alarms they report to.
    LinkThreads m_links;
    std::unique_ptr<AlarmCenter> m_alarms;
    std::unique_ptr<MainWindow> m_mainWindow;
    std::unique_ptr<QPrinter> m_printer;
};

}  // namespace tervo::gui
