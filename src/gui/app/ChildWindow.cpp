#include "gui/app/ChildWindow.h"

#include <QCloseEvent>
#include <QStatusBar>
#include <QVBoxLayout>

#include "gui/app/TervoApp.h"
#include "gui/app/ViewTemplate.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

ChildPlacement childPlacement(WindowKind kind) {
    if (kind == WindowKind::Parameters) {
        return {{570, 420}, {209, 120}};
    }
    return {{1020, 670}, {0, 0}};
}

QString childTitle(WindowKind kind, const QString& filePath) {
    switch (kind) {
        case WindowKind::Work:
            return trc("ChildWindow", "采集工作");
        case WindowKind::History:
            return trc("ChildWindow", "数据分析 --- ") + filePath;
        case WindowKind::SerialTest:
            return trc("ChildWindow", "通信测试");
        case WindowKind::Simulation:
            return trc("ChildWindow", "仪表模拟 --- ") + filePath;
        case WindowKind::Parameters:
            return trc("ChildWindow", "仪表参数修改");
        case WindowKind::Curves:
            return trc("ChildWindow", "跟踪曲线设置");
    }
    return {};
}

ChildWindow::ChildWindow(WindowKind kind, TervoApp& app) : m_kind(kind), m_app(app) {
    setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(app.windowIcon());
    const ChildPlacement placement = childPlacement(kind);
    setFixedSize(placement.size);
    move(placement.position);

    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_top = new QVBoxLayout;
    m_middle = new QVBoxLayout;
    m_bottom = new QVBoxLayout;
    for (QVBoxLayout* part : {m_top, m_middle, m_bottom}) {
        part->setContentsMargins(0, 0, 0, 0);
        part->setSpacing(0);
    }
    layout->addLayout(m_top);
    layout->addLayout(m_middle, 1);
    layout->addLayout(m_bottom);
    setWidget(body);
}

void ChildWindow::setView(QWidget* view) {
    m_view = view;
    m_middle->addWidget(view);
}

void ChildWindow::addTopBar(QWidget* bar) {
    m_top->addWidget(bar);
}

void ChildWindow::addBottomBar(QWidget* bar) {
    m_bottom->insertWidget(0, bar);
}

void ChildWindow::setFrameStatusBar(QStatusBar* bar) {
    bar->setSizeGripEnabled(false);
    m_bottom->addWidget(bar);
}

void ChildWindow::closeEvent(QCloseEvent* event) {
    if (!m_app.closingAll() && !m_app.confirmClose(this)) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
    if (event->isAccepted()) {
        emit closed(this);
    }
}

void ChildWindow::changeEvent(QEvent* event) {
    // The window keeps its size: a double click on the title or the system menu must not
    // maximize or minimize it.
    if (event->type() == QEvent::WindowStateChange &&
        (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)) != 0) {
        QMdiSubWindow::changeEvent(event);
        setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));
        return;
    }
    QMdiSubWindow::changeEvent(event);
}

}  // namespace tervo::gui
