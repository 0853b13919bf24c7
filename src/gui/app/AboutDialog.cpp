#include "gui/app/AboutDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>

#include "gui/widgets/DialogButtons.h"
#include "gui/widgets/Pictures.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(trc("AboutDialog", "关于 Tervo"));
    auto* icon = new QLabel(this);
    icon->setPixmap(applicationIcon().pixmap(32, 32));
    auto* version = new QLabel(trc("AboutDialog", "QT570温控仪控制软件 1.0 版"), this);
    version->setObjectName(QStringLiteral("versionLine"));
    // The second line also names the licence (the full text is in LICENSE and the package's
    // copyright file).
    auto* second = new QLabel(trc("AboutDialog",
                                  "RS-485 总线温控仪的通信测试、参数设置与采样记录\n"
                                  "自由软件，按 GPL-3.0-or-later 许可发布"),
                              this);
    second->setObjectName(QStringLiteral("secondLine"));
    auto* buttons = dialogButtons(this, trc("AboutDialog", "确定"), QString(), Qt::Vertical);

    auto* layout = new QGridLayout(this);
    layout->setHorizontalSpacing(16);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(version, 0, 1);
    layout->addWidget(second, 1, 1);
    layout->addWidget(buttons, 0, 2, 2, 1, Qt::AlignTop);
    setFixedSize(sizeHint());
}

}  // namespace tervo::gui
