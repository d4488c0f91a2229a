// A window's title as words: without the placeholder Qt replaces by the
// unsaved mark. For texts that name a window (the Information page, a print
// job, a question, the Window menu), never for setting a title.
#pragma once
#include <QString>
#include <QWidget>

inline QString PlainWindowTitle(const QWidget* window) {
    if (!window) return {};
    QString title = window->windowTitle();
    title.remove(QStringLiteral("[*]"));
    return title;
}
