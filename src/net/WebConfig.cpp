#include "net/WebConfig.h"

#include <crypt.h>

#include <fstream>
#include <memory>
#include <sstream>

namespace tervo::net {

namespace {

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// A value without its comment and quotes.
std::string scalar(std::string value) {
    value = trimmed(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    if (const size_t comment = value.find(" #"); comment != std::string::npos) {
        value = trimmed(value.substr(0, comment));
    }
    return value;
}

bool readText(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    out = text.str();
    return static_cast<bool>(in) || in.eof();
}

}  // namespace

std::optional<WebConfig> loadWebConfig(const std::string& path, std::string& error) {
    std::string text;
    if (!readText(path, text)) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    WebConfig config;
    std::string certFile;
    std::string keyFile;
    std::string section;
    std::istringstream lines(text);
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        const std::string content = trimmed(line);
        if (content.empty() || content.front() == '#') {
            continue;
        }
        const auto bad = [&](const std::string& why) {
            error = path + ":" + std::to_string(number) + ": " + why;
            return std::nullopt;
        };
        const size_t colon = content.find(':');
        if (colon == std::string::npos) {
            return bad("expected KEY: VALUE");
        }
        const std::string key = scalar(content.substr(0, colon));
        const std::string value = scalar(content.substr(colon + 1));
        const bool indented = line.front() == ' ' || line.front() == '\t';
        if (!indented) {
            if (!value.empty() || (key != "tls_server_config" && key != "basic_auth_users")) {
                return bad("unknown section " + key +
                           " (tls_server_config and basic_auth_users are read)");
            }
            section = key;
        } else if (section == "tls_server_config" && key == "cert_file") {
            certFile = value;
        } else if (section == "tls_server_config" && key == "key_file") {
            keyFile = value;
        } else if (section == "basic_auth_users" && !key.empty() && !value.empty()) {
            config.users[key] = value;
        } else {
            return bad("unexpected " + key);
        }
    }
    if (certFile.empty() != keyFile.empty()) {
        error = path + ": tls_server_config needs both cert_file and key_file";
        return std::nullopt;
    }
    if (!certFile.empty() &&
        (!readText(certFile, config.certificatePem) || !readText(keyFile, config.keyPem))) {
        error = path + ": cannot read " + certFile + " or " + keyFile;
        return std::nullopt;
    }
    return config;
}

bool passwordMatches(const std::string& password, const std::string& hash) {
    if (hash.empty() || hash.front() != '$') {
        return false;  // only hashes: a plain password in the file never signs anyone in
    }
    auto data = std::make_unique<crypt_data>();
    const char* made = crypt_r(password.c_str(), hash.c_str(), data.get());
    if (made == nullptr || made[0] == '*') {
        return false;
    }
    // The same length always; every byte compared.
    const std::string result = made;
    if (result.size() != hash.size()) {
        return false;
    }
    unsigned char differ = 0;
    for (size_t i = 0; i < hash.size(); ++i) {
        differ |= static_cast<unsigned char>(result[i] ^ hash[i]);
    }
    return differ == 0;
}

}  // namespace tervo::net
