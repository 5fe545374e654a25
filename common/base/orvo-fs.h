#pragma once
#include <QString>

// Creates the directory with all missing parents; true when it exists afterwards.
bool MakePathExist(const QString &path);
