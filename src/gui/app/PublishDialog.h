#pragma once

#include <QDialog>

#include "gui/app/Settings.h"
#include "net/RecordServices.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace tervo::gui {

// What the settings say a live work publishes; an address that does not parse is left out.
// The broker password is this run's (see sessionMqttPassword); when it is not known yet and
// the URL names a user, the secret store is asked, waiting at most its five seconds.
net::PublishSettings publishSettings(const PublishChoice& choice);

// "网络发布": MQTT publishing and the metrics page of the live work views, kept in the
// settings; the broker password in the desktop's secret store, which the dialog reads without
// waiting and says when there is none (the password then holds for this run only). "确定"
// refuses a broker URL or a listening address it cannot use; a password typed into the URL
// is taken out of it.
class PublishDialog : public QDialog {
    Q_OBJECT
public:
    explicit PublishDialog(QWidget* parent = nullptr);

    PublishChoice choice() const;
    void accept() override;

private:
    void showStore(const SecretOutcome& outcome);

    QCheckBox* m_mqttOn;
    QLineEdit* m_mqttUrl;
    QLineEdit* m_mqttPassword;
    QLabel* m_storeNote;
    QCheckBox* m_metricsOn;
    QLineEdit* m_metricsAddress;
    bool m_passwordTyped = false;
};

}  // namespace tervo::gui
