#include "gui/curves/CurveDialogs.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

#include "core/curves/CurveRules.h"
#include "core/curves/CurveUpload.h"
#include "gui/widgets/DialogButtons.h"
#include "gui/widgets/Prompts.h"
#include "gui/widgets/Translate.h"

namespace tervo::gui {

namespace {

// A group of three radio buttons, the one of `checked` pressed.
QGroupBox* radioGroup(QWidget* parent, const QString& title, const QStringList& texts,
                      const QStringList& names, int checked, QRadioButton* radios[3]) {
    auto* group = new QGroupBox(title, parent);
    auto* layout = new QVBoxLayout(group);
    for (int i = 0; i < 3; ++i) {
        radios[i] = new QRadioButton(texts[i], group);
        radios[i]->setObjectName(names[i]);
        radios[i]->setChecked(i == checked);
        layout->addWidget(radios[i]);
    }
    return group;
}

int checkedOf(QRadioButton* const radios[3], int fallback) {
    for (int i = 0; i < 3; ++i) {
        if (radios[i]->isChecked()) {
            return i;
        }
    }
    return fallback;
}

}  // namespace

CurveOpenDialog::CurveOpenDialog(int choice, QWidget* parent) : QDialog(parent), m_choice(choice) {
    setObjectName(QStringLiteral("curveOpenDialog"));
    setWindowTitle(trc("CurveDialogs", "曲线打开选择"));
    auto* group = radioGroup(this, trc("CurveDialogs", "曲线打开方式"),
                             {trc("CurveDialogs", "打开文件"), trc("CurveDialogs", "建立新曲线"),
                              trc("CurveDialogs", "从仪表下载")},
                             {QStringLiteral("openFileRadio"), QStringLiteral("newCurveRadio"),
                              QStringLiteral("fromInstrumentRadio")},
                             choice, m_radios);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(dialogButtons(this, trc("CurveDialogs", "确  定"),
                                    trc("CurveDialogs", "取  消"), Qt::Vertical),
                      0, Qt::AlignTop);
    setFixedSize(sizeHint());
}

void CurveOpenDialog::accept() {
    m_choice = checkedOf(m_radios, m_choice);
    QDialog::accept();
}

StartPointDialog::StartPointDialog(int choice, double value, QWidget* parent)
    : QDialog(parent), m_choice(choice), m_value(value) {
    setObjectName(QStringLiteral("startPointDialog"));
    setWindowTitle(trc("CurveDialogs", "起始点选择"));
    auto* group = radioGroup(this, trc("CurveDialogs", "选择"),
                             {trc("CurveDialogs", "第一路表PV值"),
                              trc("CurveDialogs", "第一路表SV值"), trc("CurveDialogs", "输入值")},
                             {QStringLiteral("processValueRadio"), QStringLiteral("setValueRadio"),
                              QStringLiteral("typedValueRadio")},
                             choice, m_radios);
    m_edit = new QLineEdit(QString::number(value, 'g', 15), group);
    m_edit->setObjectName(QStringLiteral("startValueEdit"));
    group->layout()->addWidget(m_edit);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(dialogButtons(this, QStringLiteral("OK"), QString(), Qt::Vertical), 0,
                      Qt::AlignTop);
    setFixedSize(sizeHint());
}

void StartPointDialog::accept() {
    bool ok = false;
    const double value = m_edit->text().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
        messageBox(this, QString::fromUtf8(kCurveInputErrorText));
        return;
    }
    m_choice = checkedOf(m_radios, m_choice);
    m_value = value;
    QDialog::accept();
}

SegmentCountDialog::SegmentCountDialog(int count, QWidget* parent)
    : QDialog(parent), m_count(count) {
    setObjectName(QStringLiteral("segmentCountDialog"));
    setWindowTitle(trc("CurveDialogs", "输入"));
    m_edit = new QLineEdit(QString::number(count), this);
    m_edit->setObjectName(QStringLiteral("countEdit"));
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(new QLabel(trc("CurveDialogs", "输入要下载的曲线点数："), this));
    layout->addWidget(m_edit);
    layout->addWidget(dialogButtons(this, trc("CurveDialogs", "确   定"), QString()));
    setFixedSize(sizeHint());
}

void SegmentCountDialog::accept() {
    bool ok = false;
    const int count = m_edit->text().trimmed().toInt(&ok);
    if (!ok || !isUploadSegmentCount(count)) {
        messageBox(this, QString::fromUtf8(kCurveInputErrorText));
        return;
    }
    m_count = count;
    QDialog::accept();
}

}  // namespace tervo::gui
