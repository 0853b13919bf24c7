#include "gui/tools/ParameterView.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>

#include "gui/app/ChildWindow.h"
#include "gui/app/LinkThreads.h"
#include "gui/tools/LinkSettingsDialog.h"
#include "gui/widgets/BarStrip.h"
#include "gui/widgets/Commands.h"
#include "gui/widgets/Fonts.h"
#include "gui/widgets/Geometry.h"
#include "gui/widgets/PickCombo.h"
#include "gui/widgets/Pictures.h"
#include "gui/widgets/Prompts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

QString label(int row) {
    return coreText(std::string(parameterLabelUtf8(row)));
}

}  // namespace

QString ParameterView::rowText(int row) {
    return QString::fromStdString(ParameterRules::rowText(row));
}

QString ParameterView::rowText(int row, double value) {
    return QString::fromStdString(ParameterRules::rowText(row, value));
}

ParameterView::ParameterView(const ViewContext& context, QWidget* parent)
    : QWidget(parent),
      m_context(context),
      m_rules(LinkSelection{context.link.port, context.link.baud, context.link.address}),
      m_font(songFont(14, 7)) {
    setObjectName(QStringLiteral("parameterView"));
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    m_reads = new LinkClient(context.services->links(), this);
    connect(m_reads, &LinkClient::finished, this,
            [this](const LinkResult& result) { finishTick(result); });
    m_writes = new LinkClient(context.services->links(), this);
    connect(m_writes, &LinkClient::finished, this, &ParameterView::finishWrite);

    m_autoReadAction = makeCommand(this, QStringLiteral("autoReadAction"),
                                   trc("ParameterView", "开关自动下载功能"),
                                   trc("ParameterView", "开关自动下载功能"));
    m_autoReadAction->setCheckable(true);
    connect(m_autoReadAction, &QAction::triggered, this, &ParameterView::toggleAutoRead);
    m_writeAction = makeCommand(this, QStringLiteral("writeAction"),
                                trc("ParameterView", "按此键，下载修改设置数据到仪表"),
                                trc("ParameterView", "按此键，下载修改设置数据到仪表"));
    connect(m_writeAction, &QAction::triggered, this, &ParameterView::write);

    m_bar = new BarStrip(kToolbarSet, 28);
    m_bar->setObjectName(QStringLiteral("parameterBar"));
    m_bar->setFont(m_font);
    m_bar->addButton(m_autoReadAction, 0, QStringLiteral("autoReadButton"));
    m_bar->addSeparator();
    m_bar->addButton(m_writeAction, 1, QStringLiteral("writeButton"));
    m_mnemonic = new QLineEdit(trc("ParameterView", "参数名称："));
    m_mnemonic->setObjectName(QStringLiteral("mnemonicField"));
    m_mnemonic->setFont(m_font);
    m_bar->place(m_mnemonic, cornerRect(130, 2, 320, 23));
    m_value = new QLineEdit;
    m_value->setObjectName(QStringLiteral("valueField"));
    m_value->setFont(m_font);
    m_bar->place(m_value, cornerRect(330, 2, 430, 23));
    if (context.frame != nullptr) {
        context.frame->addTopBar(m_bar);
    } else {
        m_bar->setParent(this);
    }

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("parameterList"));
    m_list->setFont(m_font);
    m_list->setFixedSize(400, 300);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(m_list, &QListWidget::currentRowChanged, this, &ParameterView::onListNotify);
    connect(m_list, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { onListNotify(m_list->row(item)); });
    connect(m_list, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { onListNotify(m_list->row(item)); });

    m_port = new PickCombo(this);
    m_port->setObjectName(QStringLiteral("portCombo"));
    m_port->setFont(m_font);
    m_port->setEntries({QStringLiteral("COMM1"), QStringLiteral("COMM2"), QStringLiteral("COMM3"),
                        QStringLiteral("COMM4"), QStringLiteral("COMM5"), QStringLiteral("COMM6")});
    m_port->setSelection(context.link.port < 6 ? context.link.port : -1);
    m_port->setGeometry(60, 2, 100, 22);

    m_baud = new PickCombo(this);
    m_baud->setObjectName(QStringLiteral("baudCombo"));
    m_baud->setFont(m_font);
    QStringList bauds;
    for (int i = 0; i < kBaudCount; ++i) {
        bauds << QString::fromLatin1(baudText(i));
    }
    m_baud->setEntries(bauds);
    m_baud->setSelection(context.link.baud < kBaudCount ? context.link.baud : -1);
    m_baud->setGeometry(240, 2, 100, 22);

    m_address = new PickCombo(this);
    m_address->setObjectName(QStringLiteral("addressCombo"));
    m_address->setFont(m_font);
    m_address->setEntries(
        {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    m_address->setText(twoDigitAddress(context.link.address));
    m_address->setGeometry(435, 2, 100, 22);

    fillList();
    m_autoReadAction->setChecked(true);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ParameterView::onTimer);
    m_timer.start(kInterval);
}

LinkSelection ParameterView::selection() const {
    return {m_port->selection(), m_baud->selection(), m_address->value()};
}

void ParameterView::fillList() {
    const QSignalBlocker blocker(m_list);
    m_list->clear();
    for (int row = 0; row < kParameterCount; ++row) {
        m_list->addItem(label(row));
    }
}

void ParameterView::setCaption(const QString& caption) {
    if (m_context.frame != nullptr) {
        m_context.frame->setWindowTitle(caption);
    }
}

void ParameterView::onTimer() {
    if (m_rules.tickUnderway()) {
        return;
    }
    m_timer.stop();
    const ParameterTickPlan plan = m_rules.beginTick(selection());
    if (plan.resetList) {
        fillList();
        // Reading resumes, so the caption and the button say so again.
        setCaption(childTitle(WindowKind::Parameters, QString()));
        m_autoReadAction->setChecked(true);
    }
    if (plan.read) {
        m_reads->post(*plan.read);
    } else {
        finishTick(std::nullopt);
    }
}

void ParameterView::finishTick(const std::optional<LinkResult>& result) {
    const ParameterTickOutcome outcome = m_rules.finishTick(result);
    if (outcome.failed) {
        setCaption(coreText(kLinkErrorCaption));
        m_autoReadAction->setChecked(false);
    } else if (outcome.row >= 0) {
        m_list->item(outcome.row)->setText(rowText(outcome.row, outcome.value));
    }
    if (outcome.armTimer) {
        m_timer.start(kInterval);
    }
}

void ParameterView::onListNotify(int row) {
    const RowPick pick = m_rules.selectRow(row);
    if (pick.mnemonicText.empty()) {
        return;
    }
    m_value->setText(QString::fromStdString(pick.valueText));
    m_mnemonic->setText(QString::fromStdString(pick.mnemonicText));
}

void ParameterView::write() {
    const WritePlan plan = m_rules.beginWrite(m_mnemonic->text().toStdString(),
                                              m_value->text().toStdString(), selection());
    if (plan.write) {
        m_writes->post(*plan.write);
    } else if (!plan.message.empty()) {
        messageBox(this, QString::fromStdString(plan.message));
    }
}

void ParameterView::finishWrite(const LinkResult& result) {
    messageBox(this, QString::fromStdString(m_rules.finishWrite(result)));
}

void ParameterView::toggleAutoRead() {
    const AutoReadOutcome outcome = m_rules.toggleAutoRead();
    m_autoReadAction->setChecked(outcome.pressed);
    if (outcome.timer == TimerAction::Start) {
        m_timer.start(kInterval);
    } else if (outcome.timer == TimerAction::Stop) {
        m_timer.stop();
    }
}

void ParameterView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(m_font);
    painter.setPen(Qt::black);
    const int ascent = QFontMetrics(m_font).ascent();
    painter.drawText(QPoint(0, 5 + ascent), trc("ParameterView", "串口号："));
    painter.drawText(QPoint(180, 5 + ascent), trc("ParameterView", "波特率："));
    painter.drawText(QPoint(360, 5 + ascent), trc("ParameterView", "仪表地址："));
}

void ParameterView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_list->move(std::max(0, (width() - 400) / 2), std::max(40, (height() - 300) / 2));
}

}  // namespace tervo::gui
