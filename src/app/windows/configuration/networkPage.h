#pragma once
// The configuration dialog's "Red" page: following a UPS that another computer serves, and
// serving this one to others with their users. It works on the settings it is given (the
// configuration flow's copy): it fills the controls from them and write() puts them back. A
// user's password is hashed when the user is added and never kept as typed.
#include <cstdint>
#include <optional>
#include <vector>

#include "config/networkUps.h"

class QWidget;

namespace ups {

class NetworkPage {
public:
    // `dialog` holds the page's controls (by their names in upsCfg.ui).
    NetworkPage(QWidget& dialog, NetworkUpsSettings& settings);

    // "Agregar": the typed name, role and password become a user; false (nothing added) when the
    // name or the password is empty or the name is taken.
    bool addUser();
    // "Quitar": the selected user goes.
    void removeUser();
    // The controls back into the settings, on "Aceptar".
    void write();
    // For tests: the salts come from this seed on, one more for each user added.
    void setSeedForTests(std::uint64_t seed) { seed_ = seed; }

private:
    void fill();
    void showUsers();
    void showPage(bool shown);

    QWidget& dialog_;
    NetworkUpsSettings& settings_;
    std::vector<NetworkUser> users_;
    // The salt's seed of the next user; random when empty.
    std::optional<std::uint64_t> seed_;
};

// The role as the page names it.
const char* networkRoleText(NetworkRole role);

}  // namespace ups
