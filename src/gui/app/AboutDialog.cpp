#include "app/AboutDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "widgets/Pictures.h"

namespace tervo::gui {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("dialog100"));
    setWindowTitle(QStringLiteral("关于 Tervo"));
    auto* icon = new QLabel(this);
    icon->setPixmap(applicationIcon().pixmap(32, 32));
    auto* version = new QLabel(QStringLiteral("QT570温控仪控制软件 1.0 版"), this);
    version->setObjectName(QStringLiteral("versionLine"));
    auto* second =
        new QLabel(QStringLiteral("RS-485 总线温控仪的通信测试、参数设置与采样记录"), this);
    second->setObjectName(QStringLiteral("secondLine"));
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("id1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->setHorizontalSpacing(16);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(version, 0, 1);
    layout->addWidget(second, 1, 1);
    layout->addWidget(ok, 0, 2);
    setFixedSize(sizeHint());
}

}  // namespace tervo::gui
