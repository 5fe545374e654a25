// Finding the scanners: the daemon's USB devices of the maker, and the network scanners
// named in orvo.conf or in the print service's printer list, each probed through the daemon.
#pragma once
#include "orvo-sane-conf.h"
#include "orvo-sane-scan.h"

#include <string>
#include <vector>

// False (with the reason) when the daemon cannot be reached at all.
bool OrvoFindDevices(const stOrvoSaneConf &conf, std::vector<stOrvoDevice> &list, std::string &strError);

// The network addresses to probe: orvo.conf's, then the printer list's network printers.
std::vector<std::string> OrvoNetCandidates(const stOrvoSaneConf &conf);
