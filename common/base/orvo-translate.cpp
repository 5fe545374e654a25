#include "orvo-translate.h"

#include "orvo-lang.h"
#include "orvo-paths.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

namespace {
bool s_bEnglish = false;

bool InstallEnglish(const char *whoStaysChinese)
{
    if (s_bEnglish)
        return true;
    // Lives as long as the application: a translator removed or freed takes its texts along.
    static QTranslator translator;
    if (!translator.load(QStringLiteral("orvo-k500_en"), OrvoTranslationsPath())) {
        qWarning("English texts not found in %s; %s stay Chinese", qPrintable(OrvoTranslationsPath()), whoStaysChinese);
        return false;
    }
    QCoreApplication::installTranslator(&translator);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    s_bEnglish = true;
    return true;
}
}  // namespace

bool InstallOrvoTranslation()
{
    return LocaleIsEnglish() ? InstallEnglish("the windows") : s_bEnglish;
}

bool InstallOrvoTerminalTranslation(bool bForceEnglish)
{
    return bForceEnglish || !LocaleIsChinese() ? InstallEnglish("the messages") : s_bEnglish;
}

bool OrvoUiIsEnglish()
{
    return s_bEnglish;
}
