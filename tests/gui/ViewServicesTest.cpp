#include <QPrintDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>

#include "gui/curves/CurveDialogs.h"
#include "gui/curves/CurveView.h"
#include "gui/sim/PanelPictures.h"
#include "gui/sim/PanelView.h"
#include "gui/work/WorkView.h"
#include "guisupport/FakeServices.h"
#include "guisupport/GuiTest.h"
#include "guisupport/LinkFakes.h"
#include "guisupport/ScriptedPrompts.h"

using namespace tervo;
using namespace tervo::gui;

// Views shown without the application: what they need beyond their own window comes from the
// services they were given.
class ViewServicesTest : public QObject {
    Q_OBJECT

private slots:
    void viewsAskTheirServices() {
        tervo::testing::IsolatedSettings settings;
        tervo::testing::ScriptedPrompts prompts;
        tervo::testing::LockedOpener line;  // the panel's polls go nowhere
        tervo::testing::FakeServices services;

        // "参数" on a panel asks for a parameter view on that panel's link.
        std::unique_ptr<PanelView> panels(
            PanelView::create(services.context(WindowKind::Simulation)));
        panels->addAction()->trigger();
        panels->addAction()->trigger();
        panels->resize(1010, 640);
        const SimInstrument& second = panels->rules().simTemplate().panel(1);
        const KeyArea& key = keyArea(PanelKey::Parameters);
        const QPoint at(second.x + (key.left + key.right) / 2,
                        second.y + (key.top + key.bottom) / 2);
        QTest::mousePress(panels.get(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(panels.get(), Qt::LeftButton, {}, at);
        QCOMPARE(services.parameterLinks.size(), 1);
        QCOMPARE(services.parameterLinks[0].port, second.port);
        QCOMPARE(services.parameterLinks[0].baud, second.baud);
        QCOMPARE(services.parameterLinks[0].address, second.address);
        QCOMPARE(int(second.address), 1);

        // Protected mode: pausing a curve asks for the password, and a refusal leaves it.
        services.protectedOn = true;
        prompts.dialogHandlers = {[](QDialog& dialog) {
            auto& open = dynamic_cast<CurveOpenDialog&>(dialog);
            open.radio(CurveOpenDialog::NewCurve)->setChecked(true);
            open.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        }};
        std::unique_ptr<CurveView> curve(CurveView::create(services.context(WindowKind::Curves)));
        QVERIFY(curve != nullptr);
        curve->pause();
        QCOMPARE(services.passwordsAsked, 1);

        // Printing goes to the services' printer.
        std::unique_ptr<WorkView> work(WorkView::create(services.context(WindowKind::Work)));
        QPrinter* asked = nullptr;
        prompts.dialogHandlers = {
            [&asked](QDialog& dialog) { asked = dynamic_cast<QPrintDialog&>(dialog).printer(); }};
        work->onViewCommand(ViewCommand::Print);
        QCOMPARE(prompts.dialogsRun.last(), QStringLiteral("printDialog"));
        QCOMPARE(asked, &services.printer());
    }
};

QTEST_MAIN(ViewServicesTest)
#include "ViewServicesTest.moc"
