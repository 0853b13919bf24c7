#pragma once

#include <QTimer>
#include <QWidget>
#include <array>

#include "app/ViewTemplate.h"
#include "link/ParameterTable.h"
#include "link/SerialLink.h"

class QLineEdit;
class QListWidget;
class QToolButton;

namespace tervo::gui {

class BarStrip;
class PickCombo;

// "仪表参数修改": the 49 parameters of one controller, read one row per 500 ms tick, and a write
// of a typed value to a typed or selected mnemonic. A failed read shows "通信错误" in the
// window caption and stops reading until the port, baud rate or address changes.
class ParameterView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kInterval = 500;
    static constexpr int kDescriptionBytes = 25;

    explicit ParameterView(const ViewContext& context, QWidget* parent = nullptr);

    // The text of a row: the description padded to 25 bytes, then the value with "%0.2f".
    static QString rowText(int row, double value);
    static QString rowText(int row);

    // Timer 1: reads the next row.
    void onTimer();
    // Command 32798: writes the value field to the mnemonic field's parameter.
    void write();
    // Command 32806: switches automatic reading on or off.
    void toggleAutoRead();

    QListWidget* list() const { return m_list; }
    PickCombo* portCombo() const { return m_port; }
    PickCombo* baudCombo() const { return m_baud; }
    PickCombo* addressCombo() const { return m_address; }
    QLineEdit* mnemonicField() const { return m_mnemonic; }
    QLineEdit* valueField() const { return m_value; }
    QToolButton* autoReadButton() const;
    QToolButton* writeButton() const;
    const QTimer& timer() const { return m_timer; }
    bool autoRead() const { return m_autoRead; }
    bool communicationError() const { return m_commError; }
    int nextRow() const { return m_row; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fillList();
    void onListNotify(int row);
    void showAutoRead(bool pressed);
    void setCaption(const QString& caption);

    ViewContext m_context;
    QFont m_font;
    BarStrip* m_bar;
    PickCombo* m_port;
    PickCombo* m_baud;
    PickCombo* m_address;
    QListWidget* m_list;
    QLineEdit* m_mnemonic;
    QLineEdit* m_value;
    QTimer m_timer;

    ReadRequest m_request;
    int m_lastPort;
    int m_lastBaud;
    int m_lastAddress;
    std::array<double, kParameterCount> m_values{};
    int m_row = 0;
    int m_selectedRow = -1;
    bool m_commError = false;
    bool m_autoRead = true;
};

}  // namespace tervo::gui
