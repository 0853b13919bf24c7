#include "tools/ParameterView.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QToolButton>

#include "app/ChildWindow.h"
#include "app/CommandIds.h"
#include "link/AddressList.h"
#include "link/SerialLink.h"
#include "text/Gbk.h"
#include "text/ValueText.h"
#include "tools/LinkSettingsDialog.h"
#include "widgets/BarStrip.h"
#include "widgets/Fonts.h"
#include "widgets/Geometry.h"
#include "widgets/LinkOpener.h"
#include "widgets/PickCombo.h"
#include "widgets/Pictures.h"
#include "widgets/Prompts.h"

namespace tervo::gui {

namespace {

constexpr int kCmdAutoRead = 32806;
constexpr int kCmdWrite = 32798;

QString description(int row) {
    return QString::fromUtf8(parameterDescriptionUtf8(row).data(),
                             static_cast<qsizetype>(parameterDescriptionUtf8(row).size()));
}

}  // namespace

QString ParameterView::rowText(int row) {
    const QString text = description(row);
    return text + QString(std::max(0, kDescriptionBytes - gbkLength(text)), QLatin1Char(' '));
}

QString ParameterView::rowText(int row, double value) {
    return rowText(row) + QString::fromStdString(valueText(value));
}

ParameterView::ParameterView(const ViewContext& context, QWidget* parent)
    : QWidget(parent), m_context(context), m_font(songFont(14, 7)) {
    setObjectName(QStringLiteral("ParameterView"));
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    m_request.port = context.link.port;
    m_request.baud = context.link.baud;
    m_request.address = context.link.address;
    m_lastPort = context.link.port;
    m_lastBaud = context.link.baud;
    m_lastAddress = context.link.address;

    m_bar = new BarStrip(kToolbarSet, 28);
    m_bar->setObjectName(QStringLiteral("toolbar152"));
    m_bar->setFont(m_font);
    QToolButton* autoRead = m_bar->addButton(kCmdAutoRead, 0, QStringLiteral("开关自动下载功能"),
                                             QStringLiteral("开关自动下载功能"));
    autoRead->setCheckable(true);
    m_bar->addSeparator();
    m_bar->addButton(kCmdWrite, 1, QStringLiteral("按此键，下载修改设置数据到仪表"),
                     QStringLiteral("按此键，下载修改设置数据到仪表"));
    m_mnemonic = new QLineEdit(QStringLiteral("参数名称："));
    m_mnemonic->setObjectName(QStringLiteral("mnemonicField"));
    m_mnemonic->setFont(m_font);
    m_bar->place(m_mnemonic, cornerRect(130, 2, 320, 23));
    m_value = new QLineEdit;
    m_value->setObjectName(QStringLiteral("valueField"));
    m_value->setFont(m_font);
    m_bar->place(m_value, cornerRect(330, 2, 430, 23));
    connect(m_bar, &BarStrip::command, this, [this](int id) {
        if (id == kCmdAutoRead) {
            toggleAutoRead();
        } else if (id == kCmdWrite) {
            write();
        }
    });
    if (context.frame != nullptr) {
        context.frame->addTopBar(m_bar);
    } else {
        m_bar->setParent(this);
    }

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("list501"));
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
    showAutoRead(true);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ParameterView::onTimer);
    m_timer.start(kInterval);
}

QToolButton* ParameterView::autoReadButton() const {
    return m_bar->button(kCmdAutoRead);
}

QToolButton* ParameterView::writeButton() const {
    return m_bar->button(kCmdWrite);
}

void ParameterView::fillList() {
    const QSignalBlocker blocker(m_list);
    m_list->clear();
    for (int row = 0; row < kParameterCount; ++row) {
        m_list->addItem(description(row));
    }
    m_values.fill(0.0);
}

void ParameterView::showAutoRead(bool pressed) {
    autoReadButton()->setChecked(pressed);
}

void ParameterView::setCaption(const QString& caption) {
    if (m_context.frame != nullptr) {
        m_context.frame->setWindowTitle(caption);
    }
}

void ParameterView::onTimer() {
    m_timer.stop();
    const int address = m_address->value();
    const int port = m_port->selection();
    const int baud = m_baud->selection();
    m_request.port = static_cast<uint8_t>(port);
    m_request.baud = static_cast<uint8_t>(baud);
    m_request.address = static_cast<uint8_t>(address);

    if (port != m_lastPort || baud != m_lastBaud || address != m_lastAddress) {
        m_lastPort = port;
        m_lastBaud = baud;
        m_lastAddress = address;
        fillList();
        m_commError = false;
        // Reading resumes, so the caption and the button say so again.
        m_autoRead = true;
        setCaption(childTitle(kKindSet, QString()));
        showAutoRead(true);
        m_row = 0;
    }

    m_request.parameterCode = static_cast<uint32_t>(m_row);
    std::optional<double> value;
    if (!m_commError && isStationAddress(address)) {
        value = SerialLink(0, linkOpener()).readParam(m_request);
    }
    if (!value) {
        setCaption(QStringLiteral("通信错误"));
        showAutoRead(false);
        m_commError = true;
        m_autoRead = false;
    } else {
        m_list->item(m_row)->setText(rowText(m_row, *value));
        m_values[static_cast<size_t>(m_row)] = *value;
    }
    m_row = (m_row + 1) % kParameterCount;
    m_timer.start(kInterval);
}

void ParameterView::onListNotify(int row) {
    if (row < 0 || row >= kParameterCount) {
        return;
    }
    m_value->setText(QString::fromStdString(valueText(m_values[static_cast<size_t>(row)])));
    m_mnemonic->setText(description(row));
    m_selectedRow = row;
    m_row = row;
}

void ParameterView::write() {
    const QString mnemonic = m_mnemonic->text();
    auto printable = [&mnemonic](qsizetype i) {
        return i < mnemonic.size() && mnemonic[i] >= QLatin1Char('!') &&
               mnemonic[i] <= QLatin1Char('z');
    };
    if (!printable(0) || !printable(1)) {
        return;
    }
    const uint32_t code = literalCode(mnemonic[0].toLatin1(), mnemonic[1].toLatin1());
    const int address = m_address->value();
    const int port = m_port->selection();
    const int baud = m_baud->selection();
    const std::string text = padValueText(utf8ToGbk(m_value->text().toStdString()).substr(0, 10));

    uint8_t result = 0;
    if (isStationAddress(address)) {
        SerialLink link(0, linkOpener());
        result = link.writeParam(static_cast<uint8_t>(port), static_cast<uint8_t>(baud),
                                 static_cast<uint8_t>(address), code, text);
    }
    if (result == kACK) {
        if (m_selectedRow >= 0) {
            m_row = m_selectedRow;
        }
        messageBox(this, QStringLiteral("修改成功！！！"));
    } else if (result == kNAK) {
        messageBox(this, QStringLiteral("修改失败！！！"));
    } else {
        messageBox(this, QStringLiteral("通信错误！！！"));
    }
}

void ParameterView::toggleAutoRead() {
    if (m_autoRead) {
        m_autoRead = false;
        showAutoRead(false);
        m_timer.stop();
    } else {
        m_autoRead = true;
        showAutoRead(true);
        m_timer.start(kInterval);
    }
}

void ParameterView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(m_font);
    painter.setPen(Qt::black);
    const int ascent = QFontMetrics(m_font).ascent();
    painter.drawText(QPoint(0, 5 + ascent), QStringLiteral("串口号："));
    painter.drawText(QPoint(180, 5 + ascent), QStringLiteral("波特率："));
    painter.drawText(QPoint(360, 5 + ascent), QStringLiteral("仪表地址："));
}

void ParameterView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_list->move(std::max(0, (width() - 400) / 2), std::max(40, (height() - 300) / 2));
}

}  // namespace tervo::gui
