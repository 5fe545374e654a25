#include "orvo-sane-options.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <utility>

namespace {

// A4 and Letter both fit: Letter's width, A4's length.
const SANE_Fixed c_maxWidthMM = SANE_FIX(215.9);
const SANE_Fixed c_maxHeightMM = SANE_FIX(297.0);
const int c_resolutions[] = {75, 100, 150, 200, 300, 600, 1200};
// The feeder scans at most 600 dpi (the scanner lowers 1200 to 600 there).
const int c_maxAdfResolution = 600;

SANE_String_Const c_strModeNames[] = {SANE_VALUE_SCAN_MODE_COLOR, SANE_VALUE_SCAN_MODE_GRAY,
                                      SANE_VALUE_SCAN_MODE_LINEART};
const char *const c_strFlatbed = "Flatbed";
const char *const c_strAdf = "ADF";

void Group(SANE_Option_Descriptor &d, const char *title)
{
    d.title = title;
    d.desc = "";
    d.type = SANE_TYPE_GROUP;
    d.cap = 0;
    d.constraint_type = SANE_CONSTRAINT_NONE;
}

void FixedRange(SANE_Option_Descriptor &d, const char *name, const char *title, const char *desc,
                const SANE_Range *range)
{
    d.name = name;
    d.title = title;
    d.desc = desc;
    d.type = SANE_TYPE_FIXED;
    d.unit = SANE_UNIT_MM;
    d.size = sizeof(SANE_Word);
    d.cap = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
    d.constraint_type = SANE_CONSTRAINT_RANGE;
    d.constraint.range = range;
}

// Resolutions offered for the current source.
void BuildResolutionList(stOrvoOptions &opts)
{
    int n = 0;
    for (int i = 1; i <= opts.listAllResolution[0]; ++i) {
        const int r = opts.listAllResolution[i];
        if (opts.iSource == SOURCE_ADF && r > c_maxAdfResolution)
            continue;
        opts.listResolution[++n] = r;
    }
    opts.listResolution[0] = n;
}

// The offered resolution nearest to the wanted one.
SANE_Word NearestResolution(const stOrvoOptions &opts, SANE_Word want)
{
    SANE_Word best = opts.listResolution[1];
    for (int i = 1; i <= opts.listResolution[0]; ++i) {
        const SANE_Word r = opts.listResolution[i];
        const long d = labs(long(r) - want), bd = labs(long(best) - want);
        if (d < bd)
            best = r;
    }
    return best;
}

int IndexOf(const SANE_String_Const *list, const char *s)
{
    for (int i = 0; list[i]; ++i)
        if (strcmp(list[i], s) == 0)
            return i;
    return -1;
}

// pixels = mm * dpi / 25.4, rounded down; SANE_Fixed carries 16 fraction bits.
int MMToPixels(SANE_Fixed mm, int dpi)
{
    return int((int64_t(mm) * dpi * 10) / (int64_t(254) << SANE_FIXED_SCALE_SHIFT));
}

}  // namespace

void InitOrvoOptions(stOrvoOptions &opts, const stOrvoDeviceCaps &caps)
{
    memset(opts.desc, 0, sizeof opts.desc);
    memset(opts.value, 0, sizeof opts.value);

    int n = 0;
    for (int r : c_resolutions) {
        if ((caps.iMinRes > 0 && r < caps.iMinRes) || (caps.iMaxRes > 0 && r > caps.iMaxRes))
            continue;
        opts.listAllResolution[++n] = r;
    }
    if (n == 0)  // capabilities that exclude every standard value are not believed
        for (int r : c_resolutions)
            opts.listAllResolution[++n] = r;
    opts.listAllResolution[0] = n;

    for (int i = 0; i < 3; ++i)
        opts.listMode[i] = c_strModeNames[i];
    opts.listMode[3] = nullptr;
    opts.listSource[0] = c_strFlatbed;
    opts.listSource[1] = caps.bAdf ? c_strAdf : nullptr;
    opts.listSource[2] = nullptr;
    opts.rangeX = {0, c_maxWidthMM, 0};
    opts.rangeY = {0, c_maxHeightMM, 0};
    opts.rangeBrightness = {-100, 100, 1};
    opts.rangeContrast = {-100, 100, 1};
    opts.iMode = MODE_COLOR;
    opts.iSource = SOURCE_FLATBED;
    BuildResolutionList(opts);

    SANE_Option_Descriptor *d = opts.desc;
    d[OPT_NUM_OPTS].name = SANE_NAME_NUM_OPTIONS;
    d[OPT_NUM_OPTS].title = SANE_TITLE_NUM_OPTIONS;
    d[OPT_NUM_OPTS].desc = SANE_DESC_NUM_OPTIONS;
    d[OPT_NUM_OPTS].type = SANE_TYPE_INT;
    d[OPT_NUM_OPTS].size = sizeof(SANE_Word);
    d[OPT_NUM_OPTS].cap = SANE_CAP_SOFT_DETECT;
    opts.value[OPT_NUM_OPTS] = NUM_OPTIONS;

    Group(d[OPT_MODE_GROUP], SANE_I18N("Scan Mode"));

    d[OPT_MODE].name = SANE_NAME_SCAN_MODE;
    d[OPT_MODE].title = SANE_TITLE_SCAN_MODE;
    d[OPT_MODE].desc = SANE_DESC_SCAN_MODE;
    d[OPT_MODE].type = SANE_TYPE_STRING;
    d[OPT_MODE].size = 16;
    d[OPT_MODE].cap = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
    d[OPT_MODE].constraint_type = SANE_CONSTRAINT_STRING_LIST;
    d[OPT_MODE].constraint.string_list = opts.listMode;

    d[OPT_RESOLUTION].name = SANE_NAME_SCAN_RESOLUTION;
    d[OPT_RESOLUTION].title = SANE_TITLE_SCAN_RESOLUTION;
    d[OPT_RESOLUTION].desc = SANE_DESC_SCAN_RESOLUTION;
    d[OPT_RESOLUTION].type = SANE_TYPE_INT;
    d[OPT_RESOLUTION].unit = SANE_UNIT_DPI;
    d[OPT_RESOLUTION].size = sizeof(SANE_Word);
    d[OPT_RESOLUTION].cap = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
    d[OPT_RESOLUTION].constraint_type = SANE_CONSTRAINT_WORD_LIST;
    d[OPT_RESOLUTION].constraint.word_list = opts.listResolution;
    opts.value[OPT_RESOLUTION] = NearestResolution(opts, 300);

    d[OPT_SOURCE].name = SANE_NAME_SCAN_SOURCE;
    d[OPT_SOURCE].title = SANE_TITLE_SCAN_SOURCE;
    d[OPT_SOURCE].desc = SANE_DESC_SCAN_SOURCE;
    d[OPT_SOURCE].type = SANE_TYPE_STRING;
    d[OPT_SOURCE].size = 16;
    d[OPT_SOURCE].cap = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
    d[OPT_SOURCE].constraint_type = SANE_CONSTRAINT_STRING_LIST;
    d[OPT_SOURCE].constraint.string_list = opts.listSource;

    Group(d[OPT_GEOMETRY_GROUP], SANE_I18N("Geometry"));
    FixedRange(d[OPT_TL_X], SANE_NAME_SCAN_TL_X, SANE_TITLE_SCAN_TL_X, SANE_DESC_SCAN_TL_X, &opts.rangeX);
    FixedRange(d[OPT_TL_Y], SANE_NAME_SCAN_TL_Y, SANE_TITLE_SCAN_TL_Y, SANE_DESC_SCAN_TL_Y, &opts.rangeY);
    FixedRange(d[OPT_BR_X], SANE_NAME_SCAN_BR_X, SANE_TITLE_SCAN_BR_X, SANE_DESC_SCAN_BR_X, &opts.rangeX);
    FixedRange(d[OPT_BR_Y], SANE_NAME_SCAN_BR_Y, SANE_TITLE_SCAN_BR_Y, SANE_DESC_SCAN_BR_Y, &opts.rangeY);
    opts.value[OPT_BR_X] = c_maxWidthMM;
    opts.value[OPT_BR_Y] = c_maxHeightMM;

    Group(d[OPT_ENHANCEMENT_GROUP], SANE_I18N("Enhancement"));
    for (int o : {OPT_BRIGHTNESS, OPT_CONTRAST}) {
        d[o].type = SANE_TYPE_INT;
        d[o].unit = SANE_UNIT_NONE;
        d[o].size = sizeof(SANE_Word);
        d[o].cap = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
        d[o].constraint_type = SANE_CONSTRAINT_RANGE;
    }
    d[OPT_BRIGHTNESS].name = SANE_NAME_BRIGHTNESS;
    d[OPT_BRIGHTNESS].title = SANE_TITLE_BRIGHTNESS;
    d[OPT_BRIGHTNESS].desc = SANE_DESC_BRIGHTNESS;
    d[OPT_BRIGHTNESS].constraint.range = &opts.rangeBrightness;
    d[OPT_CONTRAST].name = SANE_NAME_CONTRAST;
    d[OPT_CONTRAST].title = SANE_TITLE_CONTRAST;
    d[OPT_CONTRAST].desc = SANE_DESC_CONTRAST;
    d[OPT_CONTRAST].constraint.range = &opts.rangeContrast;
}

SANE_Status ControlOrvoOption(stOrvoOptions &opts, SANE_Int option, SANE_Action action, void *value,
                              SANE_Int *info)
{
    if (info)
        *info = 0;
    if (option < 0 || option >= NUM_OPTIONS || !value)
        return SANE_STATUS_INVAL;
    const SANE_Option_Descriptor &d = opts.desc[option];
    if (d.type == SANE_TYPE_GROUP)
        return SANE_STATUS_INVAL;

    if (action == SANE_ACTION_GET_VALUE) {
        if (option == OPT_MODE)
            strcpy(static_cast<char *>(value), opts.listMode[opts.iMode]);
        else if (option == OPT_SOURCE)
            strcpy(static_cast<char *>(value), opts.listSource[opts.iSource]);
        else
            *static_cast<SANE_Word *>(value) = opts.value[option];
        return SANE_STATUS_GOOD;
    }
    if (action != SANE_ACTION_SET_VALUE || !(d.cap & SANE_CAP_SOFT_SELECT))
        return SANE_STATUS_INVAL;

    SANE_Int changed = 0;
    switch (option) {
    case OPT_MODE:
    case OPT_SOURCE: {
        const SANE_String_Const *list = option == OPT_MODE ? opts.listMode : opts.listSource;
        const int i = IndexOf(list, static_cast<const char *>(value));
        if (i < 0)
            return SANE_STATUS_INVAL;
        if (option == OPT_MODE) {
            opts.iMode = i;
            changed |= SANE_INFO_RELOAD_PARAMS;
        } else if (opts.iSource != i) {
            opts.iSource = i;
            BuildResolutionList(opts);
            const SANE_Word r = NearestResolution(opts, opts.value[OPT_RESOLUTION]);
            opts.value[OPT_RESOLUTION] = r;
            changed |= SANE_INFO_RELOAD_OPTIONS | SANE_INFO_RELOAD_PARAMS;
        }
        break;
    }
    case OPT_RESOLUTION: {
        const SANE_Word want = *static_cast<SANE_Word *>(value);
        const SANE_Word r = NearestResolution(opts, want);
        if (r != want) {
            *static_cast<SANE_Word *>(value) = r;
            changed |= SANE_INFO_INEXACT;
        }
        opts.value[option] = r;
        changed |= SANE_INFO_RELOAD_PARAMS;
        break;
    }
    default: {
        const SANE_Range *range = d.constraint.range;
        SANE_Word v = *static_cast<SANE_Word *>(value);
        if (v < range->min || v > range->max) {
            v = v < range->min ? range->min : range->max;
            *static_cast<SANE_Word *>(value) = v;
            changed |= SANE_INFO_INEXACT;
        }
        opts.value[option] = v;
        if (option >= OPT_TL_X && option <= OPT_BR_Y)
            changed |= SANE_INFO_RELOAD_PARAMS;
        break;
    }
    }
    if (info)
        *info = changed;
    return SANE_STATUS_GOOD;
}

stOrvoGeometry OrvoGeometry(const stOrvoOptions &opts)
{
    stOrvoGeometry g;
    g.iMode = opts.iMode;
    g.iResolution = opts.value[OPT_RESOLUTION];
    g.bAdf = opts.iSource == SOURCE_ADF;
    SANE_Fixed x0 = opts.value[OPT_TL_X], x1 = opts.value[OPT_BR_X];
    SANE_Fixed y0 = opts.value[OPT_TL_Y], y1 = opts.value[OPT_BR_Y];
    if (x1 < x0)
        std::swap(x0, x1);
    if (y1 < y0)
        std::swap(y0, y1);
    g.iX0 = MMToPixels(x0, g.iResolution);
    g.iY0 = MMToPixels(y0, g.iResolution);
    g.iPixels = MMToPixels(x1, g.iResolution) - g.iX0;
    g.iLines = MMToPixels(y1, g.iResolution) - g.iY0;
    g.iDepth = g.iMode == MODE_LINEART ? 1 : 8;
    g.iBytesPerLine = g.iMode == MODE_COLOR  ? g.iPixels * 3
                      : g.iMode == MODE_GRAY ? g.iPixels
                                             : (g.iPixels + 7) / 8;
    g.iBrightness = opts.value[OPT_BRIGHTNESS];
    g.iContrast = opts.value[OPT_CONTRAST];
    return g;
}

void FillSaneParameters(const stOrvoGeometry &geo, SANE_Parameters *params)
{
    params->format = geo.iMode == MODE_COLOR ? SANE_FRAME_RGB : SANE_FRAME_GRAY;
    params->last_frame = SANE_TRUE;
    params->bytes_per_line = geo.iBytesPerLine;
    params->pixels_per_line = geo.iPixels;
    params->lines = geo.iLines;
    params->depth = geo.iDepth;
}
