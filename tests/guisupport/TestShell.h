#pragma once

#include <QMdiArea>
#include <memory>

#include "gui/Views.h"
#include "gui/app/MainWindow.h"
#include "gui/app/TervoApp.h"
#include "guisupport/ScriptedPrompts.h"
#include "support/TestLocale.h"

namespace tervo::testing {

// The application as a test drives it: scripted answers to every question, every view
// registered, the main window made. Closing shuts the child windows the way the application
// does at exit, then the application, and only then stops answering questions.
class TestShell {
public:
    TestShell() : m_app(std::make_unique<gui::TervoApp>()) {
        // The application took the environment's locale; under TERVO_TEST_LOCALE it must be
        // the decimal-comma one the run asked for.
        if (const std::string error = applyTestLocale(); !error.empty()) {
            qFatal("%s", error.c_str());
        }
        gui::registerViews(*m_app);
        m_frame = &m_app->createMainWindow();
    }
    ~TestShell() { close(); }

    void close() {
        if (m_app) {
            m_app->setClosingAll(true);
            m_frame->mdiArea()->closeAllSubWindows();
            m_app.reset();
            m_frame = nullptr;
        }
    }

    ScriptedPrompts& prompts() { return m_prompts; }
    gui::TervoApp& app() { return *m_app; }
    gui::MainWindow& frame() { return *m_frame; }

private:
    ScriptedPrompts m_prompts;  // first made, last gone
    std::unique_ptr<gui::TervoApp> m_app;
    gui::MainWindow* m_frame = nullptr;
};

}  // namespace tervo::testing
