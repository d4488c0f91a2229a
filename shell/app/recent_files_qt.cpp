#include "shell/app/recent_files_qt.h"

#include <QDir>
#include <QFileInfo>

#include "platform/profile.h"

namespace {

const char* const kSection = "Recent File List";

std::string Key(int i) { return "File" + std::to_string(i + 1); }

// One spelling per file: absolute and clean.
QString Normal(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

}  // namespace

void RecentFileList::Load() {
    files_.clear();
    for (int i = 0; i < kSize; ++i) {
        const QString path = QString::fromStdString(platform::GetProfileString(kSection, Key(i), ""));
        if (!path.isEmpty() && !files_.contains(path)) files_ << path;
    }
}

bool RecentFileList::Add(const QString& path) {
    if (path.isEmpty()) return true;
    const QString normal = Normal(path);
    if (!files_.isEmpty() && files_.first() == normal) return true;
    files_.removeAll(normal);
    files_.prepend(normal);
    while (files_.size() > kSize) files_.removeLast();
    return Save();
}

bool RecentFileList::Remove(int index) {
    if (index < 0 || index >= files_.size()) return true;
    files_.removeAt(index);
    return Save();
}

bool RecentFileList::Save() const {
    bool written = true;
    for (int i = 0; i < kSize && written; ++i)
        written = platform::WriteProfileString(kSection, Key(i), i < files_.size() ? files_[i].toStdString() : "") != 0;
    return written;
}
