// The printer list file read without Qt, for code that runs inside other programs
// (the SANE backend is loaded into every scanning application). Reads the same INI text
// that the print service writes with QSettings.
#pragma once
#include <string>
#include <vector>

struct stPlainPrinter {
    std::string strName;
    std::string strModel;
    int iConnectType = 0;  // 1 USB, 2 network
    std::string strPort;  // USB: URI without "usb://"; network: host
};

// Parses the file's text; like the Qt readers it takes the printer groups below "Count"
// that the text holds and skips a missing one.
std::vector<stPlainPrinter> ParsePrinterListPlain(const std::string &text);

// Reads root + "cfg/printerlist.ini"; a missing or unreadable file is an empty list.
std::vector<stPlainPrinter> ReadPrinterListPlain();
