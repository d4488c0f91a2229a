// The recent-file list: the last four files opened or saved, newest first,
// kept in section "Recent File List" of the settings ("File1".."File4").
#pragma once
#include <QString>
#include <QStringList>

class RecentFileList {
public:
    static constexpr int kSize = 4;

    // Reads the list from the settings (missing entries are skipped).
    void Load();
    // Puts path at the top (an entry already there moves up) and keeps the
    // settings in step. False when the settings could not be written (the
    // list itself is changed all the same).
    bool Add(const QString& path);
    // Drops entry index (a file that could not be opened); false as Add.
    bool Remove(int index);
    const QStringList& Files() const { return files_; }

private:
    bool Save() const;
    QStringList files_;
};
