// The backend's configuration file, /etc/sane.d/orvo.conf (or $SANE_CONFIG_DIR/orvo.conf).
#pragma once
#include <string>
#include <vector>

struct stOrvoSaneConf {
    std::vector<std::string> listNetAddress;  // "net ADDRESS" lines, dotted IPv4
    bool bPrinterList = true;  // "printerlist yes|no"
    int iTimeoutSec = 60;  // "timeout SECONDS": longest wait for progress
};

// Parses the text; every line it cannot use is described in listWarning.
stOrvoSaneConf ParseOrvoSaneConf(const std::string &text, std::vector<std::string> &listWarning);

// Reads the first orvo.conf found; defaults when there is none.
stOrvoSaneConf ReadOrvoSaneConf(std::vector<std::string> &listWarning);

// Dotted-decimal IPv4 text that fits the daemon's 16-byte address field.
bool IsIPv4Text(const std::string &text);
