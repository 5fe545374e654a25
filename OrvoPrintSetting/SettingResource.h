// The pictures are compiled into the tool's library; a static library has to register them
// itself before the first page loads one.
#pragma once
#include <QtGlobal>

inline void InitSettingResource()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(OrvoPrintSetting);
        return true;
    }();
    Q_UNUSED(done);
}
