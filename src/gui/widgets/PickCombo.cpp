#include "gui/widgets/PickCombo.h"

#include <QLineEdit>
#include <algorithm>
#include <climits>

#include "core/text/Gbk.h"

namespace tervo::gui {

PickCombo::PickCombo(QWidget* parent, bool editable) : QComboBox(parent) {
    setInsertPolicy(QComboBox::NoInsert);
    setMaxVisibleItems(20);
    if (editable) {
        // When an edit ends (Return, leaving the field) on the text of an entry, the combo makes
        // that entry current and reports it activated; typed text stays typed all the same.
        // Connections run in the order made, so these two enclose the combo's own.
        auto* edit = new QLineEdit(this);
        connect(edit, &QLineEdit::editingFinished, this, [this] { m_endingEdit = true; });
        setLineEdit(edit);
        connect(edit, &QLineEdit::editingFinished, this, [this] { m_endingEdit = false; });
        setCompleter(nullptr);
        connect(edit, &QLineEdit::textEdited, this, [this] { m_typed = true; });
    }
    connect(this, &QComboBox::activated, this, [this] {
        if (!m_endingEdit) {
            m_typed = false;
        }
    });
}

void PickCombo::setEntries(const QStringList& entries) {
    clear();
    addItems(entries);
    m_typed = false;
}

int PickCombo::selection() const {
    return m_typed ? -1 : currentIndex();
}

void PickCombo::setSelection(int index) {
    setCurrentIndex(index);
    m_typed = false;
}

void PickCombo::setText(const QString& text) {
    if (isEditable()) {
        setEditText(text);
        m_typed = true;
    } else {
        setSelection(findText(text));
    }
}

int PickCombo::value() const {
    return integerValueOf(currentText());
}

int integerValueOf(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i].unicode() - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1;
        }
    }
    if (negative) {
        value = -value;
    }
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

int gbkLength(const QString& text) {
    return static_cast<int>(utf8ToGbk(text.toStdString()).size());
}

}  // namespace tervo::gui
