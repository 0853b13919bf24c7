#pragma once

#include <QComboBox>

namespace tervo::gui {

// A drop-down combo box whose edit field may also be typed into. The views read it in two
// ways: the selected entry, which exists only while the text was picked from the list (typed
// text leaves nothing selected, even the text of an entry, until an entry is picked again),
// and the integer value of the text.
class PickCombo : public QComboBox {
    Q_OBJECT
public:
    explicit PickCombo(QWidget* parent = nullptr, bool editable = true);

    void setEntries(const QStringList& entries);
    // The position of the selected entry, or -1.
    int selection() const;
    void setSelection(int index);
    QString text() const { return currentText(); }
    void setText(const QString& text);
    // The text's integer value, read as the C library's atoi reads it.
    int value() const;

private:
    bool m_typed = false;
    bool m_endingEdit = false;
};

// atoi on a text: blanks, an optional sign, then digits; 0 when there are none. Values beyond
// the integer range are clamped rather than left undefined.
int integerValueOf(const QString& text);

// The number of bytes `text` takes in the GBK code page, in which the system measures its texts.
int gbkLength(const QString& text);

}  // namespace tervo::gui
