#pragma once

#include <QDialog>

#include "app/Settings.h"
#include "net/RecordServices.h"

class QCheckBox;
class QLineEdit;

namespace tervo::gui {

// What the settings say a live work publishes; an address that does not parse is left out.
net::PublishSettings publishSettings(const PublishChoice& choice);

// "网络发布": MQTT publishing and the metrics page of the live work views, kept in the
// settings. "确定" refuses a broker URL or a listening address it cannot use.
class PublishDialog : public QDialog {
    Q_OBJECT
public:
    explicit PublishDialog(QWidget* parent = nullptr);

    PublishChoice choice() const;
    void accept() override;

private:
    QCheckBox* m_mqttOn;
    QLineEdit* m_mqttUrl;
    QCheckBox* m_metricsOn;
    QLineEdit* m_metricsAddress;
};

}  // namespace tervo::gui
