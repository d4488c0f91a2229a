// The program's translation: Qt's translator for the user's language, which
// also serves the core's tables (the string table, the command and dialog
// texts) through their translator hook. The translation files are
// stitchara_<language>.qm; without one for the language, or with one that
// cannot be read, everything stays in English.
#pragma once
#include <QLocale>
#include <QStringList>

class QCoreApplication;

// Where the translation files are looked for: beside the program (the
// build tree), then the installed data folder.
QStringList TranslationDirectories();

// Loads the translation of locale's languages from the first of directories
// that has a readable one, with Qt's own texts (standard buttons, file
// dialogs) in the same language when Qt has them. A translation loaded
// before is removed first. False, English, when none could be loaded.
// Call it before the windows are made: texts already shown stay as they are.
bool InstallTranslation(QCoreApplication& app, const QLocale& locale, const QStringList& directories);
