#pragma once

#include <optional>
#include <string>

namespace tervo::net {

// The name of the broker password among systemd's credentials (LoadCredential=mqtt-password:...
// in the unit; the service reads it from $CREDENTIALS_DIRECTORY/mqtt-password).
inline constexpr const char* kMqttPasswordCredential = "mqtt-password";

// Where the recorder finds the broker's password, never on its command line, where every local
// user reads it (ps, /proc/PID/cmdline): the first of
//   1. the file given with --mqtt-password-file (`file`),
//   2. the environment variable TERVO_MQTT_PASSWORD (taken out of the environment once read),
//   3. the systemd credential mqtt-password (an empty one counts as none).
// A file's one trailing line end is not part of the password.
struct PasswordLookup {
    std::optional<std::string> password;  // none given
    std::string error;                    // set when a named file cannot be read
};
PasswordLookup lookUpMqttPassword(const std::optional<std::string>& file);

}  // namespace tervo::net
