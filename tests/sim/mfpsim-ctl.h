// The control channel's commands: one line in, data lines and a final "OK" or "ERR ..." out.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "mfpsim-device.h"

std::vector<std::unique_ptr<stSimDevice>> &SimDevices();

// Runs one command line; sets quit for "quit".
std::string RunControlCommand(const std::string &line, bool &quit);
