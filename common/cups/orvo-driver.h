#pragma once
#include <QString>

// True when the queue's installed PPD names one of the maker's models in "*ModelName";
// modelName then receives the PPD's value in its own letter case.
bool CheckDriverMatch(const QString &queueName, QString &modelName);
// The same for the PPD file at ppdPath.
bool CheckPPDModel(const QString &ppdPath, QString &modelName);
// CheckPPDModel, reading the file again only when its identity (device, inode, modification
// time, size) changed since the last call for the path.
bool CheckPPDModelCached(const QString &ppdPath, QString &modelName);
