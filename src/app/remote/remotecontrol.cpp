#include "app/remote/remotecontrol.h"

#include "app/devicelink.h"
#include "app/ombrix.h"
#include "app/remote/linkdevice.h"
#include "app/remote/remotecommands.h"
#include "app/remote/remotedialog.h"
#include "app/remote/remoteserver.h"
#include "gui/common/elidedlabel.h"
#include "gui/device/devicecontroller.h"
#include "gui/dialogs/settingsform.h"

#include <QComboBox>
#include <QLabel>
#include <QSettings>
#include <QStatusBar>

namespace ombrix {

namespace {

QSettings userSettings() {
    return QSettings(QSettings::UserScope, "Ombrix", "Ombrix");
}

// How long a remote error stays in the status bar [ms].
constexpr int kStatusMs = 5000;

} // namespace

RemoteChoice RemoteChoice::load() {
    const QSettings s = userSettings();
    RemoteChoice c;
    c.enabled = s.value("remote/enabled", false).toBool();
    const int port = s.value("remote/port", kDefaultPort).toInt();
    c.port = port >= 1 && port <= 65535 ? static_cast<quint16>(port) : kDefaultPort;
    c.otherComputers = s.value("remote/otherComputers", false).toBool();
    return c;
}

void RemoteChoice::save() const {
    QSettings s = userSettings();
    s.setValue("remote/enabled", enabled);
    s.setValue("remote/port", port);
    s.setValue("remote/otherComputers", otherComputers);
}

RemoteChoice remoteChoiceFromCommandLine(quint16 port) {
    RemoteChoice choice = RemoteChoice::load();
    choice.enabled = true;
    if (port != 0)
        choice.port = port;
    return choice;
}

RemoteControl::RemoteControl(TOmbrix& window)
    : window_(window), message_(new ElidedLabel(&window)) {
    message_->setObjectName("RemoteMessage");
    message_->hide();
    window.statusBar()->addPermanentWidget(message_);
    messageTimer_.setSingleShot(true);
    messageTimer_.setInterval(kStatusMs);
    connect(&messageTimer_, &QTimer::timeout, message_, &QWidget::hide);
    TSettingsForm& settings = window.settingsForm();
    QLabel* portPanel = window.statusPanel(1);
    device_ = std::make_unique<LinkDevice>(
        window.link(), settings, window.controlPanel(),
        [portPanel, &settings](const std::string& name) {
            portPanel->setText("Port: " + QString::fromStdString(name) + " " +
                               settings.BaudRate_ComboBox->currentText() + " bps");
        });
    commands_ = std::make_unique<RemoteCommands>(
        window, *device_, OMBRIX_VERSION, [this](const std::string& error) {
            showStatus("Remote: " + QString::fromStdString(error));
        });
    server_ = std::make_unique<RemoteServer>(*commands_);
}

RemoteControl::~RemoteControl() {
    server_->stop(); // the clients before the commands they use
}

QString RemoteControl::apply(const RemoteChoice& choice) {
    choice_ = choice;
    if (!choice.enabled) {
        server_->stop();
        return {};
    }
    const QString error = server_->start(choice.port, choice.otherComputers);
    if (!error.isEmpty()) {
        choice_.enabled = false;
        showStatus(QStringLiteral("Remote control could not listen on port %1: %2")
                       .arg(choice.port)
                       .arg(error));
    }
    return error;
}

void RemoteControl::openDialog() {
    RemoteDialog dialog(
        choice_, *server_,
        [this](const RemoteChoice& chosen) {
            QString error;
            if (!(chosen == choice_ && (server_->isListening() || !chosen.enabled)))
                error = apply(chosen);
            if (error.isEmpty())
                chosen.save(); // kept only once it works
            return error;
        },
        &window_);
    dialog.exec();
}

void RemoteControl::showStatus(const QString& text) {
    message_->setFullText(text);
    message_->show();
    messageTimer_.start();
}

} // namespace ombrix
