#pragma once

#include <QLocale>
#include <QStringList>

// The interface speaks the design's Chinese, its source texts, to Chinese users and English to
// everyone else. Used by the window and the command line alike, once the application object exists.
namespace Translation {

// Whether a user whose preferred languages are these (first preferred first, as
// QLocale::uiLanguages gives them) reads the Chinese source texts rather than the English translation.
bool keepsSourceTexts(const QStringList &uiLanguages);

// Installs the English translation unless the locale keeps the source texts, and Qt's own
// translation of its standard buttons for the language shown when the system has one.
// Returns whether the English translation is now in use.
bool install(const QLocale &locale = QLocale::system());

// Takes back what install put in place (the source texts show again).
void uninstall();

// source (marked with QT_TRANSLATE_NOOP in context) in the language install would choose, for a text
// needed before any application object exists.
QString early(const char *context, const char *source, const QLocale &locale = QLocale::system());

} // namespace Translation
