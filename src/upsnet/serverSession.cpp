#include "upsnet/serverSession.h"

#include <algorithm>

#include "upsnet/passwordHash.h"
#include "upsnet/protocolText.h"

namespace ups {

namespace {

constexpr std::size_t kMaxUserOctets = 64;
constexpr std::size_t kMaxPasswordOctets = 128;

std::string upper(std::string word) {
    for (char& c : word) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return word;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

std::string err(std::string_view word) {
    return "ERR " + std::string(word) + "\n";
}

std::string framed(const std::string& query, const std::vector<std::string>& lines) {
    std::string out = "BEGIN LIST " + query + "\n";
    for (const std::string& line : lines) out += line + "\n";
    out += "END LIST " + query + "\n";
    return out;
}

const ServedVariable* findVariable(const std::vector<ServedVariable>& variables,
                                   const std::string& name) {
    for (const ServedVariable& variable : variables) {
        if (variable.name == name) return &variable;
    }
    return nullptr;
}

bool mayCommand(NetworkRole role) {
    return role == NetworkRole::Administrator;
}

bool mayBePrimary(NetworkRole role) {
    return role == NetworkRole::Primary || role == NetworkRole::Administrator;
}

}  // namespace

void ServerSession::answer(std::string_view line, std::string& out) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const auto split = splitWords(line);
    if (!split) {
        out += err("INVALID-ARGUMENT");
        return;
    }
    const Words& words = *split;
    if (words.empty()) return;
    const std::string command = upper(words[0]);
    if (command == "VER") {
        out += "korvan-ups " + config_.version + " - UPS network protocol server\n";
    } else if (command == "NETVER") {
        out += std::string(kNetworkProtocolVersion) + "\n";
    } else if (command == "HELP") {
        out +=
            "Commands: HELP VER NETVER GET LIST SET INSTCMD LOGIN LOGOUT USERNAME PASSWORD "
            "PRIMARY MASTER FSD STARTTLS\n";
    } else if (command == "GET") {
        out += get(words);
    } else if (command == "LIST") {
        out += list(words);
    } else if (command == "SET") {
        out += setVar(words);
    } else if (command == "INSTCMD") {
        out += instantCommand(words);
    } else if (command == "LOGIN") {
        out += login(words);
    } else if (command == "LOGOUT") {
        ended_ = true;
        out += "OK Goodbye\n";
    } else if (command == "USERNAME") {
        out += credential(words, false);
    } else if (command == "PASSWORD") {
        out += credential(words, true);
    } else if (command == "PRIMARY" || command == "MASTER") {
        out += primary(words, command == "MASTER");
    } else if (command == "FSD") {
        out += forcedShutdown(words);
    } else if (command == "STARTTLS") {
        out += err("FEATURE-NOT-SUPPORTED");
    } else {
        out += err("UNKNOWN-COMMAND");
    }
}

bool ServerSession::knownUps(const std::string& name) const {
    return sameName(name, config_.upsName);
}

InstantCommand ServerSession::offered() const {
    const bool anyAdministrator =
        std::any_of(config_.users.begin(), config_.users.end(),
                    [](const NetworkUser& user) { return mayCommand(user.role); });
    return anyAdministrator ? offeredCommand(host_.state()) : InstantCommand::None;
}

std::string ServerSession::get(const Words& words) {
    if (words.size() < 2) return err("INVALID-ARGUMENT");
    const std::string what = upper(words[1]);
    const std::string& upsName = config_.upsName;
    if (what == "TRACKING") return words.size() == 2 ? "OFF\n" : err("INVALID-ARGUMENT");
    const bool aboutUps = what == "NUMLOGINS" || what == "UPSDESC";
    const bool aboutName = what == "VAR" || what == "TYPE" || what == "DESC" || what == "CMDDESC";
    if ((!aboutUps && !aboutName) || words.size() != (aboutUps ? 3u : 4u))
        return err("INVALID-ARGUMENT");
    if (!knownUps(words[2])) return err("UNKNOWN-UPS");
    if (what == "NUMLOGINS")
        return "NUMLOGINS " + upsName + " " + std::to_string(host_.loginCount()) + "\n";
    if (what == "UPSDESC")
        return "UPSDESC " + upsName + " " + ups::quoted(config_.description) + "\n";
    const std::string& name = words[3];
    if (what == "CMDDESC") {
        const InstantCommand command = offered();
        if (command == InstantCommand::None || name != commandName(command))
            return err("CMD-NOT-SUPPORTED");
        return "CMDDESC " + upsName + " " + name + " " + ups::quoted(commandDescription(command)) +
               "\n";
    }
    const ServedState state = host_.state();
    if (what == "VAR" && !state.linkAlive) return err("DATA-STALE");
    const auto variables = servedVariables(state, host_.forcedShutdown(), config_.version);
    const ServedVariable* variable = findVariable(variables, name);
    if (!variable) return err("VAR-NOT-SUPPORTED");
    if (what == "VAR")
        return "VAR " + upsName + " " + name + " " + ups::quoted(variable->value) + "\n";
    if (what == "TYPE")
        return "TYPE " + upsName + " " + name + " STRING:" + std::to_string(kMaxValueOctets) + "\n";
    return "DESC " + upsName + " " + name + " " + ups::quoted(variableDescription(name)) + "\n";
}

std::string ServerSession::list(const Words& words) {
    if (words.size() < 2) return err("INVALID-ARGUMENT");
    const std::string what = upper(words[1]);
    const std::string& upsName = config_.upsName;
    if (what == "UPS") {
        if (words.size() != 2) return err("INVALID-ARGUMENT");
        return framed("UPS", {"UPS " + upsName + " " + ups::quoted(config_.description)});
    }
    const bool aboutUps = what == "VAR" || what == "RW" || what == "CMD" || what == "CLIENT";
    const bool aboutName = what == "ENUM" || what == "RANGE";
    if ((!aboutUps && !aboutName) || words.size() != (aboutUps ? 3u : 4u))
        return err("INVALID-ARGUMENT");
    if (!knownUps(words[2])) return err("UNKNOWN-UPS");
    std::vector<std::string> lines;
    if (what == "RW") return framed("RW " + upsName, lines);
    if (what == "CMD") {
        const InstantCommand command = offered();
        if (command != InstantCommand::None)
            lines.push_back("CMD " + upsName + " " + commandName(command));
        return framed("CMD " + upsName, lines);
    }
    if (what == "CLIENT") {
        for (const std::string& address : host_.loggedInAddresses())
            lines.push_back("CLIENT " + upsName + " " + address);
        return framed("CLIENT " + upsName, lines);
    }
    const ServedState state = host_.state();
    if (what == "VAR" && !state.linkAlive) return err("DATA-STALE");
    const auto variables = servedVariables(state, host_.forcedShutdown(), config_.version);
    if (what == "VAR") {
        for (const ServedVariable& variable : variables)
            lines.push_back("VAR " + upsName + " " + variable.name + " " +
                            ups::quoted(variable.value));
        return framed("VAR " + upsName, lines);
    }
    // Nothing the server serves has a list of allowed values or a range: the lists are empty.
    const std::string& name = words[3];
    if (!findVariable(variables, name)) return err("VAR-NOT-SUPPORTED");
    return framed(what + " " + upsName + " " + name, lines);
}

std::string ServerSession::setVar(const Words& words) {
    if (words.size() != 5 || upper(words[1]) != "VAR") return err("INVALID-ARGUMENT");
    if (!knownUps(words[2])) return err("UNKNOWN-UPS");
    std::string refusal;
    if (!authenticated(refusal)) return err(refusal);
    const auto variables = servedVariables(host_.state(), host_.forcedShutdown(), config_.version);
    return err(findVariable(variables, words[3]) ? "READONLY" : "VAR-NOT-SUPPORTED");
}

std::string ServerSession::instantCommand(const Words& words) {
    if (words.size() != 3 && words.size() != 4) return err("INVALID-ARGUMENT");
    if (!knownUps(words[1])) return err("UNKNOWN-UPS");
    std::string refusal;
    const NetworkUser* user = authenticated(refusal);
    if (!user) return err(refusal);
    if (!mayCommand(user->role)) return err("ACCESS-DENIED");
    if (!host_.state().linkAlive) return err("DRIVER-NOT-CONNECTED");
    const InstantCommand command = offered();
    if (command == InstantCommand::None || words[2] != commandName(command))
        return err("CMD-NOT-SUPPORTED");
    if (words.size() == 4) return err("INVALID-ARGUMENT");
    return host_.runCommand(command) ? "OK\n" : err("INSTCMD-FAILED");
}

std::string ServerSession::login(const Words& words) {
    if (words.size() != 2) return err("INVALID-ARGUMENT");
    if (loggedIn_) return err("ALREADY-LOGGED-IN");
    if (!knownUps(words[1])) return err("UNKNOWN-UPS");
    std::string refusal;
    if (!authenticated(refusal)) return err(refusal);
    loggedIn_ = true;
    return "OK\n";
}

std::string ServerSession::primary(const Words& words, bool oldName) {
    if (words.size() != 2) return err("INVALID-ARGUMENT");
    if (!knownUps(words[1])) return err("UNKNOWN-UPS");
    std::string refusal;
    const NetworkUser* user = authenticated(refusal);
    if (!user) return err(refusal);
    if (!mayBePrimary(user->role)) return err("ACCESS-DENIED");
    return oldName ? "OK MASTER-GRANTED\n" : "OK PRIMARY-GRANTED\n";
}

std::string ServerSession::forcedShutdown(const Words& words) {
    if (words.size() != 2) return err("INVALID-ARGUMENT");
    if (!knownUps(words[1])) return err("UNKNOWN-UPS");
    std::string refusal;
    const NetworkUser* user = authenticated(refusal);
    if (!user) return err(refusal);
    if (!mayCommand(user->role)) return err("ACCESS-DENIED");
    host_.setForcedShutdown();
    return "OK FSD-SET\n";
}

std::string ServerSession::credential(const Words& words, bool password) {
    if (words.size() != 2) return err("INVALID-ARGUMENT");
    bool& set = password ? passwordSet_ : userSet_;
    if (set) return err(password ? "ALREADY-SET-PASSWORD" : "ALREADY-SET-USERNAME");
    const std::string& value = words[1];
    if (value.empty() || value.size() > (password ? kMaxPasswordOctets : kMaxUserOctets))
        return err(password ? "INVALID-PASSWORD" : "INVALID-USERNAME");
    (password ? password_ : user_) = value;
    set = true;
    return "OK\n";
}

const NetworkUser* ServerSession::authenticated(std::string& refusal) {
    if (!userSet_) {
        refusal = "USERNAME-REQUIRED";
        return nullptr;
    }
    if (!passwordSet_) {
        refusal = "PASSWORD-REQUIRED";
        return nullptr;
    }
    if (!checked_) {
        checked_ = true;
        const auto found =
            std::find_if(config_.users.begin(), config_.users.end(),
                         [this](const NetworkUser& user) { return user.name == user_; });
        if (found != config_.users.end() && passwordMatches(*found, password_)) verified_ = &*found;
        // Only the verdict is kept.
        password_.assign(password_.size(), '\0');
        password_.clear();
    }
    if (!verified_) refusal = "ACCESS-DENIED";
    return verified_;
}

}  // namespace ups
