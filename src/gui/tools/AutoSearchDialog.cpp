#include "gui/tools/AutoSearchDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/link/SerialLink.h"
#include "gui/app/LinkThreads.h"
#include "gui/widgets/DialogButtons.h"
#include "gui/widgets/PickCombo.h"
#include "gui/widgets/Prompts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

QString sweepText() {
    return trc("AutoSearchDialog", "自动搜索");
}

QProgressBar* progressBar(QWidget* parent, const QString& name) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setTextVisible(false);
    bar->setRange(0, 100);
    bar->setValue(0);
    return bar;
}

void showBar(QProgressBar* bar, const SearchBar& state) {
    bar->setRange(0, state.maximum);
    bar->setValue(state.position);
}

}  // namespace

AutoSearchDialog::AutoSearchDialog(LinkThreads& links, QWidget* parent)
    : QDialog(parent), m_links(links) {
    setObjectName(QStringLiteral("autoSearchDialog"));
    setWindowTitle(trc("AutoSearchDialog", "自动搜索选项"));

    m_port = new PickCombo(this);
    m_port->setObjectName(QStringLiteral("portCombo"));
    m_port->setEntries({sweepText(), QStringLiteral("COM1"), QStringLiteral("COM2")});
    m_port->setSelection(1);
    m_baud = new PickCombo(this);
    m_baud->setObjectName(QStringLiteral("baudCombo"));
    QStringList bauds{sweepText()};
    for (int i = 0; i < kBaudCount; ++i) {
        bauds << QString::fromLatin1(baudText(i));
    }
    m_baud->setEntries(bauds);
    m_baud->setSelection(kDefaultBaudIndex + 1);
    m_address = new PickCombo(this);
    m_address->setObjectName(QStringLiteral("addressCombo"));
    m_address->setEntries({sweepText(), QStringLiteral("0"), QStringLiteral("1"),
                           QStringLiteral("2"), QStringLiteral("3")});
    m_address->setSelection(0);

    m_portBar = progressBar(this, QStringLiteral("portBar"));
    m_baudBar = progressBar(this, QStringLiteral("baudBar"));
    m_addressBar = progressBar(this, QStringLiteral("addressBar"));
    m_results = new QListWidget(this);
    m_results->setObjectName(QStringLiteral("resultList"));
    m_results->setMinimumSize(360, 160);

    auto* grid = new QGridLayout;
    const QString labels[] = {trc("AutoSearchDialog", "通信端口："),
                              trc("AutoSearchDialog", "波特率："),
                              trc("AutoSearchDialog", "仪表地址：")};
    PickCombo* combos[] = {m_port, m_baud, m_address};
    QProgressBar* bars[] = {m_portBar, m_baudBar, m_addressBar};
    for (int row = 0; row < 3; ++row) {
        grid->addWidget(new QLabel(labels[row], this), row, 0);
        grid->addWidget(combos[row], row, 1);
        grid->addWidget(bars[row], row, 2);
    }
    grid->setColumnMinimumWidth(1, 110);
    grid->setColumnMinimumWidth(2, 160);

    m_startButton = new QPushButton(sweepText(), this);
    m_startButton->setObjectName(QStringLiteral("startButton"));
    m_startButton->setAutoDefault(false);
    connect(m_startButton, &QPushButton::clicked, this, &AutoSearchDialog::startSearch);
    m_stopButton = new QPushButton(trc("AutoSearchDialog", "强制停止"), this);
    m_stopButton->setObjectName(QStringLiteral("stopButton"));
    m_stopButton->setAutoDefault(false);
    connect(m_stopButton, &QPushButton::clicked, this, &AutoSearchDialog::stopSearch);
    QDialogButtonBox* buttons = dialogButtons(this, trc("AutoSearchDialog", "确定退出"),
                                              trc("AutoSearchDialog", "取消退出"), Qt::Vertical);
    buttons->addButton(m_startButton, QDialogButtonBox::ActionRole);
    buttons->addButton(m_stopButton, QDialogButtonBox::ActionRole);

    auto* left = new QVBoxLayout;
    left->addLayout(grid);
    left->addWidget(m_results, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addWidget(buttons, 0, Qt::AlignTop);

    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &AutoSearchDialog::onTimer);
    renewClient();
}

void AutoSearchDialog::renewClient() {
    delete m_polls;
    m_polls = new LinkClient(m_links, this);
    connect(m_polls, &LinkClient::finished, this, &AutoSearchDialog::finishTick);
}

void AutoSearchDialog::startSearch() {
    SearchChoice choice;
    choice.portEntry = m_port->selection();
    choice.baudEntry = m_baud->selection();
    choice.sweepAddress = m_address->text() == sweepText();
    choice.address = AutoSearch::typedAddress(m_address->value());
    const SearchStart start = m_search.start(choice);
    if (!start.started) {
        messageBox(this, QString::fromStdString(start.message));
        return;
    }
    m_timer.stop();
    renewClient();
    showBars();
    m_results->clear();
    m_timer.start(AutoSearch::kIntervalMs);
}

void AutoSearchDialog::stopSearch() {
    m_timer.stop();
    renewClient();
    messageBox(this, QString::fromStdString(m_search.stop()));
}

void AutoSearchDialog::onTimer() {
    if (const std::optional<LinkRequest> poll = m_search.beginTick()) {
        m_polls->post(*poll);
    }
}

void AutoSearchDialog::finishTick(const LinkResult& result) {
    const SearchStepOutcome outcome = m_search.finishTick(result);
    if (outcome.line) {
        m_results->addItem(QString::fromStdString(*outcome.line));
    }
    showBars();
    if (outcome.finished) {
        messageBox(this, QString::fromUtf8(kSearchDoneText));
    }
    if (outcome.armTimer) {
        m_timer.start(AutoSearch::kIntervalMs);
    }
}

void AutoSearchDialog::showBars() {
    showBar(m_portBar, m_search.portBar());
    showBar(m_baudBar, m_search.baudBar());
    showBar(m_addressBar, m_search.addressBar());
}

void AutoSearchDialog::done(int result) {
    // Closing ends a running search; the instruments found so far stay readable.
    m_timer.stop();
    if (m_search.running()) {
        m_search.stop();
        renewClient();
    }
    QDialog::done(result);
}

}  // namespace tervo::gui
