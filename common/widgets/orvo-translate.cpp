#include "orvo-translate.h"

#include "orvo-lang.h"
#include "orvo-paths.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

namespace {
bool s_bEnglish = false;
} // namespace

bool InstallOrvoTranslation()
{
    if (s_bEnglish || !LocaleIsEnglish())
        return s_bEnglish;
    // Lives as long as the application: a translator removed or freed takes its texts along.
    static QTranslator translator;
    if (!translator.load(QStringLiteral("orvo-k500_en"), OrvoTranslationsPath())) {
        qWarning("English texts not found in %s; the windows stay Chinese", qPrintable(OrvoTranslationsPath()));
        return false;
    }
    QCoreApplication::installTranslator(&translator);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    s_bEnglish = true;
    return true;
}

bool OrvoUiIsEnglish()
{
    return s_bEnglish;
}
