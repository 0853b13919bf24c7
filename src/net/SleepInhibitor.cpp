#include "net/SleepInhibitor.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace tervo::net {

SleepInhibitor::SleepInhibitor() {
    sd_bus* bus = nullptr;
    if (sd_bus_open_system(&bus) < 0) {
        return;
    }
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    if (sd_bus_call_method(bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                           "org.freedesktop.login1.Manager", "Inhibit", &error, &reply, "ssss",
                           "sleep", kInhibitWho, kInhibitWhy, "block") >= 0) {
        int fd = -1;
        // The descriptor belongs to the message: keep a copy of our own.
        if (sd_bus_message_read(reply, "h", &fd) >= 0 && fd >= 0) {
            m_fd = fcntl(fd, F_DUPFD_CLOEXEC, 3);
        }
    }
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    sd_bus_flush_close_unref(bus);
}

SleepInhibitor::~SleepInhibitor() {
    if (m_fd >= 0) {
        close(m_fd);  // logind releases the inhibitor when its descriptor closes
    }
}

}  // namespace tervo::net
