// Queue names from the lines of "lpstat -v".
#pragma once
#include <QString>

// "device for NAME: URI" gives NAME; in the other languages' form ("用于 NAME 的设备：URI")
// the name is the second word. Returns an empty string for a line that names no queue.
QString ListingQueueName(const QString &line);
