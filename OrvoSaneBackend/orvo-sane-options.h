// The backend's options (standard SANE names, units and constraints) and the image
// parameters they give.
#pragma once
#include "orvo-sane-names.h"

#include <cstdint>

enum enOrvoOption {
    OPT_NUM_OPTS = 0,
    OPT_MODE_GROUP,
    OPT_MODE,
    OPT_RESOLUTION,
    OPT_SOURCE,
    OPT_GEOMETRY_GROUP,
    OPT_TL_X,
    OPT_TL_Y,
    OPT_BR_X,
    OPT_BR_Y,
    OPT_ENHANCEMENT_GROUP,
    OPT_BRIGHTNESS,
    OPT_CONTRAST,
    NUM_OPTIONS
};

enum enOrvoMode { MODE_COLOR = 0,
                  MODE_GRAY = 1,
                  MODE_LINEART = 2 };
enum enOrvoSource { SOURCE_FLATBED = 0,
                    SOURCE_ADF = 1 };

// What a device can do, as far as the options need it.
struct stOrvoDeviceCaps {
    bool bAdf = false;
    int iMinRes = 0;  // 0: no limit known
    int iMaxRes = 0;
};

struct stOrvoOptions {
    SANE_Option_Descriptor desc[NUM_OPTIONS];
    SANE_Word value[NUM_OPTIONS];  // word options; strings below
    int iMode = MODE_COLOR;
    int iSource = SOURCE_FLATBED;
    SANE_String_Const listMode[4];
    SANE_String_Const listSource[3];
    SANE_Word listResolution[16];  // [0] = count
    SANE_Word listAllResolution[16];
    SANE_Range rangeX, rangeY, rangeBrightness, rangeContrast;
};

// What one scan (one page) looks like, in device pixels.
struct stOrvoGeometry {
    int iMode = MODE_COLOR;
    int iResolution = 0;
    int iX0 = 0, iY0 = 0;  // top-left corner, pixels from the bed's corner
    int iPixels = 0, iLines = 0;  // width and height in pixels
    int iDepth = 8;  // per channel: 8, or 1 for lineart
    int iBytesPerLine = 0;
    bool bAdf = false;
    int iBrightness = 0, iContrast = 0;  // -100 .. 100
};

void InitOrvoOptions(stOrvoOptions &opts, const stOrvoDeviceCaps &caps);
SANE_Status ControlOrvoOption(stOrvoOptions &opts, SANE_Int option, SANE_Action action, void *value,
                              SANE_Int *info);
stOrvoGeometry OrvoGeometry(const stOrvoOptions &opts);
void FillSaneParameters(const stOrvoGeometry &geo, SANE_Parameters *params);
