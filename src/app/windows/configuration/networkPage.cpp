#include "app/windows/configuration/networkPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <algorithm>

#include "upsnet/passwordHash.h"

namespace ups {

namespace {

template <typename T>
T* control(QWidget& dialog, const char* name) {
    return dialog.findChild<T*>(name);
}

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

std::string typed(QWidget& dialog, const char* name) {
    return control<QLineEdit>(dialog, name)->text().trimmed().toStdString();
}

// The widgets below the page that it covers while it is shown.
constexpr const char* kCovered[] = {"gbTime", "GroupBox3", "GroupBox4", "ckBoxEnhShutdwn"};
constexpr int kGrownHeight = 278;

}  // namespace

const char* networkRoleText(NetworkRole role) {
    switch (role) {
        case NetworkRole::Follower:
            return "Seguidor";
        case NetworkRole::Primary:
            return "Primario";
        case NetworkRole::Administrator:
            return "Administrador";
    }
    return "";
}

NetworkPage::NetworkPage(QWidget& dialog, NetworkUpsSettings& settings)
    : dialog_(dialog), settings_(settings), users_(settings.server.users) {
    fill();
    QObject::connect(control<QPushButton>(dialog_, "bbtnSrvAdd"), &QPushButton::clicked,
                     [this] { addUser(); });
    QObject::connect(control<QPushButton>(dialog_, "bbtnSrvDel"), &QPushButton::clicked,
                     [this] { removeUser(); });
    // The page takes the room of the delays while it is shown: the fields need it.
    QTabWidget* tabs = control<QTabWidget>(dialog_, "pgCtrl");
    const int normalHeight = tabs->height();
    QObject::connect(tabs, &QTabWidget::currentChanged, [this, tabs, normalHeight](int index) {
        const bool red = tabs->widget(index)->objectName() == QLatin1String("tsRed");
        tabs->resize(tabs->width(), red ? kGrownHeight : normalHeight);
        showPage(red);
    });
}

void NetworkPage::showPage(bool shown) {
    for (const char* name : kCovered) {
        if (QWidget* covered = control<QWidget>(dialog_, name)) covered->setVisible(!shown);
    }
}

void NetworkPage::fill() {
    const NetworkClientSettings& client = settings_.client;
    control<QCheckBox>(dialog_, "ckbxSeguir")->setChecked(client.follow);
    control<QLineEdit>(dialog_, "edRedHost")->setText(text(client.host));
    control<QSpinBox>(dialog_, "spRedPort")->setValue(client.port);
    control<QLineEdit>(dialog_, "edRedUps")->setText(text(client.upsName));
    control<QLineEdit>(dialog_, "edRedUser")->setText(text(client.user));
    control<QLineEdit>(dialog_, "edRedPsw")->setText(text(client.password));
    const NetworkServerSettings& server = settings_.server;
    control<QCheckBox>(dialog_, "ckbxServir")->setChecked(server.serve);
    control<QLineEdit>(dialog_, "edSrvAddr")->setText(text(server.listenAddresses));
    control<QSpinBox>(dialog_, "spSrvPort")->setValue(server.port);
    control<QSpinBox>(dialog_, "spSrvWait")->setValue(server.followerWaitSeconds);
    showUsers();
}

void NetworkPage::showUsers() {
    QTableWidget* table = control<QTableWidget>(dialog_, "tblSrvUsers");
    table->setRowCount(static_cast<int>(users_.size()));
    for (int row = 0; row < table->rowCount(); ++row) {
        const NetworkUser& user = users_[static_cast<std::size_t>(row)];
        table->setItem(row, 0, new QTableWidgetItem(text(user.name)));
        table->setItem(row, 1, new QTableWidgetItem(QString::fromUtf8(networkRoleText(user.role))));
    }
}

bool NetworkPage::addUser() {
    const std::string name = typed(dialog_, "edSrvUser");
    QLineEdit* passwordField = control<QLineEdit>(dialog_, "edSrvPsw");
    const std::string password = passwordField->text().toStdString();
    const bool taken = std::any_of(users_.begin(), users_.end(),
                                   [&](const NetworkUser& user) { return user.name == name; });
    if (name.empty() || password.empty() || taken) return false;
    const auto role =
        static_cast<NetworkRole>(control<QComboBox>(dialog_, "cbSrvRole")->currentIndex());
    users_.push_back(makeNetworkUser(name, role, password, seed_));
    if (seed_) ++*seed_;
    // The typed password goes as soon as its hash is made.
    passwordField->clear();
    control<QLineEdit>(dialog_, "edSrvUser")->clear();
    showUsers();
    return true;
}

void NetworkPage::removeUser() {
    const int row = control<QTableWidget>(dialog_, "tblSrvUsers")->currentRow();
    if (row < 0 || row >= static_cast<int>(users_.size())) return;
    users_.erase(users_.begin() + row);
    showUsers();
}

void NetworkPage::write() {
    NetworkClientSettings& client = settings_.client;
    client.follow = control<QCheckBox>(dialog_, "ckbxSeguir")->isChecked();
    client.host = typed(dialog_, "edRedHost");
    client.port = control<QSpinBox>(dialog_, "spRedPort")->value();
    client.upsName = typed(dialog_, "edRedUps");
    client.user = typed(dialog_, "edRedUser");
    client.password = control<QLineEdit>(dialog_, "edRedPsw")->text().toStdString();
    NetworkServerSettings& server = settings_.server;
    server.serve = control<QCheckBox>(dialog_, "ckbxServir")->isChecked();
    server.listenAddresses = typed(dialog_, "edSrvAddr");
    server.port = control<QSpinBox>(dialog_, "spSrvPort")->value();
    server.followerWaitSeconds = control<QSpinBox>(dialog_, "spSrvWait")->value();
    server.users = users_;
}

}  // namespace ups
