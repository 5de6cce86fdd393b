#pragma once

#include <QString>

class QCoreApplication;

// The interface is Simplified Chinese whatever the desktop's language: Qt's own texts (OK and
// Cancel, the file dialog, the calendar, "显示细节…") come from Qt's Chinese translations
// (Debian's qt6-translations-l10n), dates and numbers follow the Chinese locale, and the web
// pages' engine, which takes its language from that locale when it starts, shows its own pages
// (errors, menus) in Chinese.
namespace InterfaceLanguage {

// The locale the interface speaks.
QString localeName(); // "zh_CN"

// Makes the locale the default and installs Qt's translations for it on the application.
// Returns whether Qt's translations were found (without them Qt's texts stay English).
bool apply(QCoreApplication &application);

} // namespace InterfaceLanguage
