#include "app/remote/remotedialog.h"

#include "app/remote/remoteserver.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QSpinBox>
#include <QVBoxLayout>

namespace ombrix {

RemoteDialog::RemoteDialog(const RemoteChoice& choice, RemoteServer& server, Apply apply,
                           QWidget* parent)
    : QDialog(parent), server_(server), apply_(std::move(apply)) {
    setWindowTitle("Remote control");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    enabled = new QCheckBox("&Enable remote control (SCPI over TCP)", this);
    enabled->setChecked(choice.enabled);
    port = new QSpinBox(this);
    port->setRange(1, 65535);
    port->setValue(choice.port);
    otherComputers = new QCheckBox("Accept connections from other computers", this);
    otherComputers->setChecked(choice.otherComputers);
    status = new QLabel(this);
    clients = new QListWidget(this);
    recent = new QListWidget(this);
    clients->setMaximumHeight(80);
    form->addRow(enabled);
    form->addRow("&Port:", port);
    form->addRow(otherComputers);
    form->addRow(status);
    form->addRow("Connected clients:", clients);
    form->addRow("Last commands received:", recent);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &RemoteDialog::tryChoice);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(&server_, &RemoteServer::changed, this, &RemoteDialog::refresh);
    refresh();
    resize(460, 380);
}

RemoteChoice RemoteDialog::choice() const {
    RemoteChoice c;
    c.enabled = enabled->isChecked();
    c.port = static_cast<quint16>(port->value());
    c.otherComputers = otherComputers->isChecked();
    return c;
}

void RemoteDialog::tryChoice() {
    const RemoteChoice c = choice();
    if (const QString error = apply_(c); !error.isEmpty()) {
        setStatus(QStringLiteral("Could not listen on port %1: %2").arg(c.port).arg(error));
        return;
    }
    accept();
}

void RemoteDialog::setStatus(const QString& text) {
    status->setText(text);
}

void RemoteDialog::refresh() {
    clients->clear();
    clients->addItems(server_.clients());
    recent->clear();
    recent->addItems(server_.recentCommands());
    recent->scrollToBottom();
    if (server_.isListening())
        setStatus(QStringLiteral("Listening on port %1").arg(server_.port()));
    else if (status->text().startsWith("Listening"))
        setStatus("Not listening");
}

} // namespace ombrix
