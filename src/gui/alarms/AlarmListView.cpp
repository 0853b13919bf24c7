#include "gui/alarms/AlarmListView.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <set>

#include "gui/alarms/AlarmCenter.h"

namespace tervo::gui {

AlarmListView::AlarmListView(AlarmCenter& alarms, QWidget* parent)
    : QWidget(parent), m_alarms(alarms) {
    setObjectName(QStringLiteral("alarmListView"));
    setWindowFlag(Qt::Window);
    setWindowTitle(tr("报警"));
    resize(760, 420);

    m_table = new QTableWidget(0, 6, this);
    m_table->setObjectName(QStringLiteral("alarmTable"));
    m_table->setHorizontalHeaderLabels(
        {tr("时间"), tr("工作"), tr("通道"), tr("类型"), tr("值"), tr("状态")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setColumnWidth(0, 160);
    m_table->setColumnWidth(1, 120);
    m_table->setColumnWidth(2, 110);
    m_table->setColumnWidth(3, 80);
    m_table->setColumnWidth(4, 90);

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("alarmSummary"));
    m_sound = new QCheckBox(tr("声音提示"), this);
    m_sound->setObjectName(QStringLiteral("soundCheck"));
    m_sound->setChecked(m_alarms.soundOn());
    m_acknowledge = new QPushButton(tr("确认"), this);
    m_acknowledge->setObjectName(QStringLiteral("acknowledgeButton"));
    m_acknowledge->setToolTip(tr("确认选中的报警；未选中时确认全部报警"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_summary, 1);
    buttons->addWidget(m_sound);
    buttons->addWidget(m_acknowledge);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);

    connect(m_acknowledge, &QPushButton::clicked, this, &AlarmListView::acknowledge);
    connect(m_sound, &QCheckBox::toggled, &m_alarms, &AlarmCenter::setSoundOn);
    connect(&m_alarms, &AlarmCenter::changed, this, &AlarmListView::refresh);
    refresh();
}

void AlarmListView::acknowledge() {
    std::set<size_t> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows()) {
        rows.insert(static_cast<size_t>(index.row()));
    }
    m_alarms.acknowledge(std::vector<size_t>(rows.begin(), rows.end()));
}

void AlarmListView::refresh() {
    const std::vector<AlarmListRow>& rows = m_alarms.rules().rows();
    // A refresh keeps the operator's selection on the same alarms where they still show.
    std::set<QString> selected;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows()) {
        if (QTableWidgetItem* item = m_table->item(index.row(), 0)) {
            selected.insert(item->data(Qt::UserRole).toString());
        }
    }
    m_table->clearSelection();
    m_table->setRowCount(static_cast<int>(rows.size()));
    for (size_t i = 0; i < rows.size(); ++i) {
        const AlarmListRow& row = rows[i];
        const QStringList texts = {QString::fromStdString(AlarmListRules::timeText(row)),
                                   QString::fromStdString(row.work),
                                   QString::fromStdString(AlarmListRules::channelText(row)),
                                   QString::fromStdString(AlarmListRules::kindText(row.kind)),
                                   QString::fromStdString(AlarmListRules::valueText(row)),
                                   QString::fromStdString(AlarmListRules::stateText(row))};
        const QColor colour = row.open() && row.active ? QColor(0xC0, 0, 0)
                              : row.open()             ? QColor(0x80, 0x50, 0)
                                                       : palette().color(QPalette::Text);
        for (int column = 0; column < texts.size(); ++column) {
            auto* item = new QTableWidgetItem(texts[column]);
            item->setForeground(colour);
            if (column == 4) {
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            }
            m_table->setItem(static_cast<int>(i), column, item);
        }
        const QString key = QStringLiteral("%1/%2/%3/%4")
                                .arg(row.source)
                                .arg(row.channel)
                                .arg(static_cast<int>(row.kind))
                                .arg(row.raisedAt);
        m_table->item(static_cast<int>(i), 0)->setData(Qt::UserRole, key);
        if (selected.count(key) != 0) {
            m_table->selectionModel()->select(
                m_table->model()->index(static_cast<int>(i), 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    const size_t open = m_alarms.rules().openCount();
    m_summary->setText(open == 0 ? tr("没有未确认的报警") : tr("未确认的报警：%1 条").arg(open));
    m_acknowledge->setEnabled(open != 0);
}

}  // namespace tervo::gui
