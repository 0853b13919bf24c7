#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/link/ParameterTable.h"
#include "core/link/SerialLink.h"
#include "core/text/Gbk.h"
#include "core/work/WorkSettingsRules.h"
#include "gui/widgets/DialogButtons.h"
#include "gui/widgets/Fonts.h"
#include "gui/widgets/Geometry.h"
#include "gui/widgets/PickCombo.h"
#include "gui/widgets/Pictures.h"
#include "gui/widgets/Prompts.h"
#include "gui/widgets/Translate.h"
#include "gui/work/ChannelDialog.h"
#include "gui/work/EventDialog.h"
#include "gui/work/SamplingDialog.h"

namespace tervo::gui {

namespace {

QString fromUtf8(const std::string& s) {
    return QString::fromStdString(s);
}

std::string gbkOf(const QString& s) {
    return utf8ToGbk(s.toStdString());
}

QString nameOf(const std::string& gbk) {
    return fromUtf8(gbkToUtf8(gbk));
}

QTreeWidget* makeTree(QDialog* dialog, const QString& name, const QRect& rect) {
    auto* tree = new QTreeWidget(dialog);
    tree->setObjectName(name);
    tree->setHeaderHidden(true);
    tree->setRootIsDecorated(true);
    tree->setFrameShape(QFrame::Box);
    tree->setGeometry(rect);
    return tree;
}

void addTreeItem(QTreeWidget* tree, const QString& text, const std::vector<std::string>& lines,
                 int detailImage) {
    auto* item = new QTreeWidgetItem(tree, {text});
    item->setIcon(0, treeIcon(3));
    for (const std::string& line : lines) {
        auto* detail = new QTreeWidgetItem(item, {fromUtf8(line)});
        detail->setIcon(0, treeIcon(detailImage));
    }
}

// The selected top-level entry, or -1 with nothing or a detail line selected.
int selectedEntry(QTreeWidget* tree) {
    QTreeWidgetItem* item = tree->currentItem();
    if (item == nullptr || !item->isSelected() || item->parent() != nullptr) {
        return -1;
    }
    return tree->indexOfTopLevelItem(item);
}

QLineEdit* lineEdit(const QString& name, const QString& text = QString()) {
    auto* edit = new QLineEdit(text);
    edit->setObjectName(name);
    return edit;
}

PickCombo* combo(const QString& name, const QStringList& entries, bool editable, int selected) {
    auto* c = new PickCombo(nullptr, editable);
    c->setObjectName(name);
    c->setEntries(entries);
    c->setSelection(selected);
    return c;
}

QStringList channelNames(const WorkDefinition& work) {
    QStringList names;
    for (const ChannelInfo& c : work.channels) {
        names << nameOf(c.nameGbk());
    }
    return names;
}

bool confirmDelete(QWidget* parent) {
    return messageBox(parent, QString::fromUtf8(kDeleteQuestionText), PromptButtons::YesNo,
                      PromptIcon::Information) == PromptAnswer::Yes;
}

// A whole number from an edit, within [low, high]; false after saying what is wrong.
bool readInteger(QWidget* parent, const QString& text, long long low, long long high,
                 long long& out) {
    bool ok = false;
    const long long v = text.trimmed().toLongLong(&ok);
    if (!ok) {
        messageBox(parent, trc("WorkDialogs", "请输入一个整数。"));
        return false;
    }
    if (v < low || v > high) {
        messageBox(parent,
                   trc("WorkDialogs", "请输入一个在 %1 和 %2 之间的整数。").arg(low).arg(high));
        return false;
    }
    out = v;
    return true;
}

bool readDouble(QWidget* parent, const QString& text, double& out) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok) {
        messageBox(parent, trc("WorkDialogs", "请输入一个数字。"));
        return false;
    }
    out = v;
    return true;
}

}  // namespace

// ---- channels ----

ChannelDialog::ChannelDialog(WorkDefinition& work, QWidget* parent)
    : QDialog(parent), m_work(work) {
    setObjectName(QStringLiteral("channelDialog"));
    setWindowTitle(trc("WorkDialogs", "通道设置"));
    m_tree = makeTree(this, QStringLiteral("channelTree"), cornerRect(10, 15, 260, 373));

    QStringList parameters;
    for (int i = 0; i < kParameterCount; ++i) {
        parameters << coreText(std::string(parameterLabelUtf8(i)));
    }
    QStringList bauds;
    for (int i = 0; i < kBaudCount; ++i) {
        bauds << QString::fromLatin1(baudText(i));
    }
    m_name = lineEdit(QStringLiteral("nameEdit"));
    m_parameter = combo(QStringLiteral("parameterCombo"), parameters, true, 0);
    m_port = combo(QStringLiteral("portCombo"),
                   {QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"),
                    QStringLiteral("COM4"), QStringLiteral("COM5"), QStringLiteral("COM6")},
                   false, 0);
    m_baud = combo(QStringLiteral("baudCombo"), bauds, false, kDefaultBaudIndex);
    m_address = lineEdit(QStringLiteral("addressEdit"), QStringLiteral("0"));
    m_display = lineEdit(QStringLiteral("displayEdit"), QStringLiteral("1.0"));
    m_offset = lineEdit(QStringLiteral("offsetEdit"), QStringLiteral("0.0"));
    m_download = new QCheckBox(trc("WorkDialogs", "下载参数：   "));
    m_download->setObjectName(QStringLiteral("downloadCheck"));
    m_download->setLayoutDirection(Qt::RightToLeft);
    m_chooseFile = new QPushButton(trc("WorkDialogs", "选择文件"));
    m_chooseFile->setObjectName(QStringLiteral("chooseFileButton"));
    m_curvePath = lineEdit(QStringLiteral("curvePathEdit"));
    auto* add = new QPushButton(trc("WorkDialogs", "添加通道"));
    add->setObjectName(QStringLiteral("addButton"));
    auto* remove = new QPushButton(trc("WorkDialogs", "删除通道"));
    remove->setObjectName(QStringLiteral("deleteButton"));

    auto* form = new QFormLayout;
    form->addRow(trc("WorkDialogs", "通道名称："), m_name);
    form->addRow(trc("WorkDialogs", "采样选择："), m_parameter);
    form->addRow(trc("WorkDialogs", "串口号："), m_port);
    form->addRow(trc("WorkDialogs", "波特率："), m_baud);
    form->addRow(trc("WorkDialogs", "仪表地址："), m_address);
    form->addRow(trc("WorkDialogs", "显示系数："), m_display);
    form->addRow(trc("WorkDialogs", "平移系数："), m_offset);
    auto* curveRow = new QHBoxLayout;
    curveRow->addWidget(m_download);
    curveRow->addWidget(m_chooseFile);
    form->addRow(curveRow);
    form->addRow(m_curvePath);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(remove);
    form->addRow(buttons);
    auto* group = new QGroupBox(trc("WorkDialogs", "通道设置"), this);
    group->setLayout(form);
    group->setGeometry(cornerRect(270, 8, 640, 373));
    setFixedSize(650, 385);

    connect(add, &QPushButton::clicked, this, &ChannelDialog::addChannel);
    connect(remove, &QPushButton::clicked, this, &ChannelDialog::deleteChannel);
    connect(m_chooseFile, &QPushButton::clicked, this, &ChannelDialog::chooseCurveFile);
    connect(m_download, &QCheckBox::clicked, this, &ChannelDialog::showCurveControls);
    showCurveControls();
    fillTree();
}

void ChannelDialog::fillTree() {
    m_tree->clear();
    const size_t shown = std::min<size_t>(m_work.channels.size(), kTreeLimit);
    for (size_t i = 0; i < shown; ++i) {
        const ChannelInfo& c = m_work.channels[i];
        addTreeItem(m_tree, nameOf(c.nameGbk()), channelDetailLines(c), 7);
    }
}

void ChannelDialog::showCurveControls() {
    const bool on = m_download->isChecked();
    m_chooseFile->setVisible(on);
    m_curvePath->setVisible(on);
}

bool ChannelDialog::readNumbers(int& address, double& display, double& offset) {
    long long value = 0;
    if (!readInteger(this, m_address->text(), 0, 99, value) ||
        !readDouble(this, m_display->text(), display) ||
        !readDouble(this, m_offset->text(), offset)) {
        return false;
    }
    address = static_cast<int>(value);
    return true;
}

void ChannelDialog::addChannel() {
    ChannelForm form;
    if (!readNumbers(form.address, form.displayCoefficient, form.offsetCoefficient)) {
        return;
    }
    form.name = gbkOf(m_name->text());
    form.parameter = m_parameter->selection();
    form.parameterText = gbkOf(m_parameter->text());
    form.port = m_port->selection();
    form.baud = m_baud->selection();
    form.download = m_download->isChecked();
    form.curvePath = gbkOf(m_curvePath->text());
    const AddOutcome outcome = tervo::addChannel(m_work, form);
    if (outcome.added) {
        fillTree();
    }
    messageBox(this, fromUtf8(outcome.message));
}

void ChannelDialog::deleteChannel() {
    const int index = selectedEntry(m_tree);
    if (index < 0 || !confirmDelete(this)) {
        return;
    }
    tervo::deleteChannel(m_work, static_cast<size_t>(index));
    fillTree();
    messageBox(this, QString::fromUtf8(kDeletedText));
}

void ChannelDialog::chooseCurveFile() {
    FileDialogRequest request;
    request.filter = trc("WorkDialogs", "采集文件(*.lin);;所有文件(*.*)");
    request.defaultExtension = QStringLiteral("lin");
    request.initialName = QStringLiteral("*.lin");
    request.mustExist = true;
    const QString path = prompts().openFileName(this, request);
    if (!path.isEmpty()) {
        m_curvePath->setText(path);
    }
}

// ---- events ----

EventDialog::EventDialog(WorkDefinition& work, QWidget* parent) : QDialog(parent), m_work(work) {
    setObjectName(QStringLiteral("eventDialog"));
    setWindowTitle(trc("WorkDialogs", "通道事件设置"));
    m_tree = makeTree(this, QStringLiteral("eventTree"), cornerRect(10, 15, 280, 373));
    QStringList types;
    for (int i = 0; i < 7; ++i) {
        types << coreText(eventTypeText(i));
    }
    const QStringList names = channelNames(work);
    const QStringList operands = QStringList{trc("WorkDialogs", "常数")} + names;
    m_name = lineEdit(QStringLiteral("nameEdit"));
    m_type = combo(QStringLiteral("typeCombo"), types, false, 0);
    m_compare = combo(QStringLiteral("compareCombo"),
                      {trc("WorkDialogs", "大于"), trc("WorkDialogs", "小于")}, false, 0);
    m_data1 = combo(QStringLiteral("data1Combo"), names, false, names.isEmpty() ? -1 : 0);
    // 数据2 and 数据3 start empty: an operand left untouched is stored as selector 255.
    m_data2 = combo(QStringLiteral("data2Combo"), operands, true, -1);
    m_data3 = combo(QStringLiteral("data3Combo"), operands, true, -1);
    auto* add = new QPushButton(trc("WorkDialogs", "添加通道"));
    add->setObjectName(QStringLiteral("addButton"));
    auto* remove = new QPushButton(trc("WorkDialogs", "删除通道"));
    remove->setObjectName(QStringLiteral("deleteButton"));
    auto* form = new QFormLayout;
    form->addRow(trc("WorkDialogs", "事件名称："), m_name);
    form->addRow(trc("WorkDialogs", "事件类型："), m_type);
    form->addRow(trc("WorkDialogs", "比较类型："), m_compare);
    form->addRow(trc("WorkDialogs", "数据1："), m_data1);
    form->addRow(trc("WorkDialogs", "数据2："), m_data2);
    form->addRow(trc("WorkDialogs", "数据3："), m_data3);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(remove);
    form->addRow(buttons);
    auto* group = new QGroupBox(trc("WorkDialogs", "通道事件设置"), this);
    group->setLayout(form);
    group->setGeometry(cornerRect(290, 8, 640, 373));
    setFixedSize(650, 385);
    connect(add, &QPushButton::clicked, this, &EventDialog::addEvent);
    connect(remove, &QPushButton::clicked, this, &EventDialog::deleteEvent);
    fillTree();
}

void EventDialog::fillTree() {
    m_tree->clear();
    const size_t shown = std::min<size_t>(m_work.events.size(), kTreeLimit);
    for (size_t i = 0; i < shown; ++i) {
        const EventInfo& e = m_work.events[i];
        addTreeItem(m_tree, nameOf(e.nameGbk()), eventDetailLines(e, m_work.channels), 8);
    }
}

void EventDialog::addEvent() {
    EventForm form;
    form.name = gbkOf(m_name->text());
    form.type = m_type->selection();
    form.compare = m_compare->selection();
    form.data1 = m_data1->selection();
    form.data2 = m_data2->selection();
    form.data2Text = m_data2->text().toStdString();
    form.data3 = m_data3->selection();
    form.data3Text = m_data3->text().toStdString();
    const AddOutcome outcome = tervo::addEvent(m_work, form);
    if (outcome.added) {
        fillTree();
    } else {
        messageBox(this, fromUtf8(outcome.message));
    }
}

void EventDialog::deleteEvent() {
    const int index = selectedEntry(m_tree);
    if (index < 0 || !confirmDelete(this)) {
        return;
    }
    tervo::deleteEvent(m_work, static_cast<size_t>(index));
    fillTree();
    messageBox(this, QString::fromUtf8(kDeletedText));
}

// ---- sampling ----

SamplingDialog::SamplingDialog(const WorkTiming& timing, QWidget* parent)
    : QDialog(parent), m_timing(timing) {
    setObjectName(QStringLiteral("samplingDialog"));
    setWindowTitle(trc("WorkDialogs", "采样参数设置"));
    m_sampling = lineEdit(QStringLiteral("samplingEdit"), QString::number(timing.samplingPeriod));
    m_display = lineEdit(QStringLiteral("displayEdit"), QString::number(timing.displayPeriod));
    auto* form = new QFormLayout;
    form->addRow(trc("WorkDialogs", "采样周期(s)："), m_sampling);
    form->addRow(trc("WorkDialogs", "显示周期(s)："), m_display);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(
        dialogButtons(this, trc("WorkDialogs", "确定退出"), trc("WorkDialogs", "放弃退出")));
}

void SamplingDialog::accept() {
    long long sampling = 0;
    long long display = 0;
    // Unsigned as entered, and within the periods' signed 32-bit fields.
    if (!readInteger(this, m_sampling->text(), 0, INT32_MAX, sampling) ||
        !readInteger(this, m_display->text(), 0, INT32_MAX, display)) {
        return;
    }
    if (!samplingAccepted(sampling, display)) {
        messageBox(this, QString::fromUtf8(kInputErrorText));
        return;
    }
    m_timing.samplingPeriod = static_cast<int32_t>(sampling);
    m_timing.displayPeriod = static_cast<int32_t>(display);
    QDialog::accept();
}

}  // namespace tervo::gui
