#pragma once

#include <QTimer>
#include <QWidget>
#include <optional>

#include "core/tools/ParameterRules.h"
#include "gui/app/ViewTemplate.h"

class QAction;
class QLineEdit;
class QListWidget;

namespace tervo::gui {

class BarStrip;
class LinkClient;
class PickCombo;

// "仪表参数修改": the 49 parameters of one controller, read one row per 500 ms tick, and a write
// of a typed value to a typed or selected mnemonic. A failed read shows "通信错误" in the
// window caption and stops reading until the port, baud rate or address changes. The reads
// and writes run on the port's link thread; a tick ends, and the timer is armed again, when
// its read has come back.
class ParameterView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kInterval = ParameterRules::kIntervalMs;

    explicit ParameterView(const ViewContext& context, QWidget* parent = nullptr);

    // The text of a row: the label padded to 25 bytes, then the value with "%0.2f".
    static QString rowText(int row, double value);
    static QString rowText(int row);

    // Timer 1: reads the next row.
    void onTimer();
    // The write button: writes the value field to the mnemonic field's parameter.
    void write();
    // The auto-read button: switches automatic reading on or off.
    void toggleAutoRead();

    QListWidget* list() const { return m_list; }
    PickCombo* portCombo() const { return m_port; }
    PickCombo* baudCombo() const { return m_baud; }
    PickCombo* addressCombo() const { return m_address; }
    QLineEdit* mnemonicField() const { return m_mnemonic; }
    QLineEdit* valueField() const { return m_value; }
    QAction* autoReadAction() const { return m_autoReadAction; }
    QAction* writeAction() const { return m_writeAction; }
    const QTimer& timer() const { return m_timer; }
    bool autoRead() const { return m_rules.autoRead(); }
    bool communicationError() const { return m_rules.communicationError(); }
    int nextRow() const { return m_rules.nextRow(); }
    // From the start of a tick until its read has come back.
    bool tickUnderway() const { return m_rules.tickUnderway(); }
    // From the write button until the controller's answer is in.
    bool writeUnderway() const { return m_rules.writeUnderway(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    LinkSelection selection() const;
    void finishTick(const std::optional<LinkResult>& result);
    void finishWrite(const LinkResult& result);
    void fillList();
    void onListNotify(int row);
    void setCaption(const QString& caption);

    ViewContext m_context;
    ParameterRules m_rules;
    QFont m_font;
    BarStrip* m_bar;
    QAction* m_autoReadAction;
    QAction* m_writeAction;
    PickCombo* m_port;
    PickCombo* m_baud;
    PickCombo* m_address;
    QListWidget* m_list;
    QLineEdit* m_mnemonic;
    QLineEdit* m_value;
    QTimer m_timer;
    LinkClient* m_reads;
    LinkClient* m_writes;
};

}  // namespace tervo::gui
