#pragma once

#include <QList>
#include <QPrinter>
#include <QStringList>

#include "gui/alarms/AlarmCenter.h"
#include "gui/app/LinkThreads.h"
#include "gui/app/Settings.h"
#include "gui/app/ViewTemplate.h"

namespace tervo::testing {

// The services of a view shown without the application: link threads and a printer of its
// own, protected mode and the password's answer as the test sets them, and a record of what
// the view asked for.
class FakeServices : public gui::ViewServices {
public:
    gui::LinkThreads& links() override { return m_links; }
    QPrinter& printer() override { return m_printer; }
    gui::PublishChoice publishChoice() const override { return {}; }
    bool protectedMode() const override { return protectedOn; }
    bool checkPassword(QWidget*) override {
        ++passwordsAsked;
        return passwordGiven;
    }
    void openParameters(const gui::LinkSettings& link) override { parameterLinks << link; }
    void noteRecentFile(const QString& path) override { recentFiles << path; }
    QWidget* dialogParent() override { return nullptr; }
    gui::AlarmCenter& alarms() override { return m_alarms; }

    // What a view of `kind` on `filePath` is given, without a window around it.
    gui::ViewContext context(gui::WindowKind kind, const QString& filePath = QString()) {
        gui::ViewContext context;
        context.kind = kind;
        context.filePath = filePath;
        context.services = this;
        return context;
    }

    bool protectedOn = false;
    bool passwordGiven = false;
    int passwordsAsked = 0;
    QList<gui::LinkSettings> parameterLinks;
    QStringList recentFiles;

private:
    gui::LinkThreads m_links;
    gui::AlarmCenter m_alarms;
    QPrinter m_printer{QPrinter::HighResolution};
};

}  // namespace tervo::testing
