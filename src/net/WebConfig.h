#pragma once

#include <map>
#include <optional>
#include <string>

namespace tervo::net {

// How the metrics page is served beyond plain HTTP, read from a web configuration file in the
// form Prometheus exporters take (the subset below, YAML):
//
//   tls_server_config:
//     cert_file: /etc/tervo/metrics.crt   # PEM, the chain after the certificate
//     key_file: /etc/tervo/metrics.key
//   basic_auth_users:
//     prometheus: $2y$10$...               # a bcrypt hash (htpasswd -nBC 10 "" | tr -d ':\n')
//
// Either section may be left out. Blank lines and `#` comments are ignored; values may be
// quoted. The certificate and key are read when the file is.
struct WebConfig {
    std::string certificatePem;  // empty: plain HTTP
    std::string keyPem;
    std::map<std::string, std::string> users;  // user -> crypt(3) hash; empty: no sign-in
};

// nullopt with `error` set when the file cannot be read, holds something not listed above, or
// names a certificate or key that cannot be read.
std::optional<WebConfig> loadWebConfig(const std::string& path, std::string& error);

// Whether `password` is the one `hash` (bcrypt "$2b$", "$2y$", or another crypt(3) form) was
// made from.
bool passwordMatches(const std::string& password, const std::string& hash);

}  // namespace tervo::net
