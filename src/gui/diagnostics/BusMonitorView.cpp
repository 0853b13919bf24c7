#include "gui/diagnostics/BusMonitorView.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "core/link/PortMap.h"
#include "gui/app/LinkThreads.h"
#include "gui/widgets/Prompts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

constexpr int kLogLines = 2 * static_cast<int>(BusMonitor::kDefaultLogSize);

QString utf8(const std::string& text) {
    return QString::fromStdString(text);
}

QString milliseconds(double ms) {
    return QString::number(ms, 'f', 1);
}

// "无应答 30，校验错误 2"
QString reasonCounts(const BusStation& s) {
    QStringList parts;
    for (const auto& [reason, count] : s.reasons) {
        parts << coreText(reasonText(reason)) + QLatin1Char(' ') + QString::number(count);
    }
    return parts.join(trc("BusMonitorView", "，"));
}

}  // namespace

BusMonitorView::BusMonitorView(LinkThreads& links, QWidget* parent) : QWidget(parent) {
    setWindowFlag(Qt::Window);
    setWindowTitle(trc("BusMonitorView", "通信监视"));
    setObjectName(QStringLiteral("busMonitorView"));
    resize(900, 600);

    m_port = new QComboBox(this);
    m_port->setObjectName(QStringLiteral("portFilter"));
    m_port->addItem(trc("BusMonitorView", "全部端口"), -1);
    for (int p = 0; p < kPortCount; ++p) {
        m_port->addItem(utf8(portName(static_cast<uint8_t>(p))), p);
    }
    m_address = new QComboBox(this);
    m_address->setObjectName(QStringLiteral("addressFilter"));
    m_address->addItem(trc("BusMonitorView", "全部地址"), -1);
    for (int a = 0; a <= 99; ++a) {
        m_address->addItem(trc("BusMonitorView", "地址 %1").arg(a), a);
    }
    m_pause = new QPushButton(trc("BusMonitorView", "暂停"), this);
    m_pause->setObjectName(QStringLiteral("pauseButton"));
    m_pause->setCheckable(true);
    auto* clear = new QPushButton(trc("BusMonitorView", "清除"), this);
    clear->setObjectName(QStringLiteral("clearButton"));
    auto* save = new QPushButton(trc("BusMonitorView", "保存日志"), this);
    save->setObjectName(QStringLiteral("saveLogButton"));

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_port);
    bar->addWidget(m_address);
    bar->addStretch(1);
    bar->addWidget(m_pause);
    bar->addWidget(clear);
    bar->addWidget(save);

    m_table = new QTableWidget(0, 9, this);
    m_table->setObjectName(QStringLiteral("stationTable"));
    m_table->setHorizontalHeaderLabels(
        {trc("BusMonitorView", "端口"), trc("BusMonitorView", "地址"),
         trc("BusMonitorView", "通信次数"), trc("BusMonitorView", "失败次数"),
         trc("BusMonitorView", "失败原因"), trc("BusMonitorView", "最近失败"),
         trc("BusMonitorView", "往返(ms)"), trc("BusMonitorView", "平均(ms)"),
         trc("BusMonitorView", "最长(ms)")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(4, QHeaderView::Stretch);

    m_log = new QPlainTextEdit(this);
    m_log->setObjectName(QStringLiteral("frameLog"));
    m_log->setReadOnly(true);
    m_log->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_log->setMaximumBlockCount(kLogLines);
    QFont mono(QStringLiteral("monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    m_log->setFont(mono);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_table, 2);
    layout->addWidget(m_log, 3);

    m_refresh = new QTimer(this);
    m_refresh->setInterval(kRefreshMs);
    connect(m_refresh, &QTimer::timeout, this, [this] {
        if (m_dirty) {
            refresh();
        }
    });
    m_refresh->start();

    connect(&links, &LinkThreads::performed, this, &BusMonitorView::observe);
    connect(m_port, &QComboBox::currentIndexChanged, this, &BusMonitorView::filterChanged);
    connect(m_address, &QComboBox::currentIndexChanged, this, &BusMonitorView::filterChanged);
    connect(m_pause, &QPushButton::toggled, this, [this](bool paused) {
        m_pause->setText(paused ? trc("BusMonitorView", "继续") : trc("BusMonitorView", "暂停"));
        if (!paused) {
            refresh();
        }
    });
    connect(clear, &QPushButton::clicked, this, &BusMonitorView::clearAll);
    connect(save, &QPushButton::clicked, this, &BusMonitorView::saveLog);
}

void BusMonitorView::observe(const LinkResult& result) {
    if (!result.exchanges.empty()) {
        m_monitor.observe(result);
        m_dirty = true;
    }
}

BusFilter BusMonitorView::filter() const {
    return BusFilter{m_port->currentData().toInt(), m_address->currentData().toInt()};
}

void BusMonitorView::refresh() {
    m_dirty = false;
    const BusFilter f = filter();
    std::vector<std::pair<BusStationKey, const BusStation*>> rows;
    for (const auto& [key, station] : m_monitor.stations()) {
        if ((f.port < 0 || key.port == f.port) && (f.address < 0 || key.address == f.address)) {
            rows.emplace_back(key, &station);
        }
    }
    m_table->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const auto& [key, s] = rows[static_cast<size_t>(r)];
        const QString lastFailure =
            s->lastFailureMs ? utf8(BusMonitor::timeText(*s->lastFailureMs)) + QLatin1Char(' ') +
                                   utf8(reasonLine(s->lastFailure, s->lastHolder))
                             : QString();
        const QString cells[] = {
            key.port < kPortCount ? utf8(portName(key.port)) : QString::number(key.port),
            key.address >= 0 ? QString::number(key.address) : trc("BusMonitorView", "—"),
            QString::number(s->exchanges),
            QString::number(s->failures),
            reasonCounts(*s),
            lastFailure,
            milliseconds(s->lastRoundTripMs),
            milliseconds(s->meanRoundTripMs()),
            milliseconds(s->worstRoundTripMs),
        };
        for (int c = 0; c < 9; ++c) {
            auto* item = m_table->item(r, c);
            if (item == nullptr) {
                item = new QTableWidgetItem;
                item->setTextAlignment(c >= 2 && c != 4 && c != 5
                                           ? Qt::AlignRight | Qt::AlignVCenter
                                           : Qt::AlignLeft | Qt::AlignVCenter);
                m_table->setItem(r, c, item);
            }
            item->setText(cells[c]);
        }
    }
    if (m_pause->isChecked()) {
        return;  // the log stands still; the frames wait in the monitor
    }
    // New frames only, unless some left the monitor's log before they were shown.
    const uint64_t fresh = m_monitor.observed() - m_logged;
    if (fresh > m_monitor.log().size()) {
        rebuildLog();
        return;
    }
    const auto& log = m_monitor.log();
    for (auto it = log.end() - static_cast<std::ptrdiff_t>(fresh); it != log.end(); ++it) {
        if (f.matches(*it)) {
            for (const std::string& line : BusMonitor::logLines(*it)) {
                m_log->appendPlainText(utf8(line));
            }
        }
    }
    m_logged = m_monitor.observed();
}

void BusMonitorView::rebuildLog() {
    m_log->clear();
    const BusFilter f = filter();
    for (const ExchangeRecord& e : m_monitor.log()) {
        if (f.matches(e)) {
            for (const std::string& line : BusMonitor::logLines(e)) {
                m_log->appendPlainText(utf8(line));
            }
        }
    }
    m_log->moveCursor(QTextCursor::End);
    m_log->ensureCursorVisible();
    m_logged = m_monitor.observed();
}

void BusMonitorView::filterChanged() {
    rebuildLog();
    refresh();
}

void BusMonitorView::clearAll() {
    m_monitor.clear();
    m_logged = 0;
    m_log->clear();
    refresh();
}

void BusMonitorView::saveLog() {
    FileDialogRequest request;
    request.filter = trc("BusMonitorView", "文本文件(*.txt);;所有文件(*.*)");
    request.defaultExtension = QStringLiteral("txt");
    request.initialName = trc("BusMonitorView", "通信日志.txt");
    request.mustExist = false;
    const QString path = prompts().saveFileName(this, request);
    if (path.isEmpty()) {
        return;
    }
    QSaveFile file(path);
    const QByteArray text = QByteArray::fromStdString(m_monitor.logText(filter()));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        messageBox(this, trc("BusMonitorView", "日志无法保存！！！"));
    }
}

}  // namespace tervo::gui
