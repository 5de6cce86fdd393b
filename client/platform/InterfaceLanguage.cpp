#include "InterfaceLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace InterfaceLanguage {

QString localeName()
{
    return QStringLiteral("zh_CN");
}

bool apply(QCoreApplication &application)
{
    const QLocale chinese(localeName());
    QLocale::setDefault(chinese);
    // "qt" gathers qtbase and qtmultimedia; the web engine's own texts (the quotes page's menu)
    // have a catalogue of their own.
    bool found = false;
    for (const char *catalogue : {"qt", "qtwebengine"}) {
        auto *translator = new QTranslator(&application);
        if (translator->load(chinese, QLatin1String(catalogue), QStringLiteral("_"),
                             QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QCoreApplication::installTranslator(translator);
            found = found || QLatin1String(catalogue) == QLatin1String("qt");
        } else {
            delete translator;
        }
    }
    return found;
}

} // namespace InterfaceLanguage
