// Listing the files below a folder and ordering them by age, kept for service work.
#include <QDateTime>
#include <QDirIterator>
#include <algorithm>

#include "deraRazovi.h"

QFileInfoList DeRaRazovi::FoundAllFile(const QString& folder) {
    QFileInfoList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        files << it.fileInfo();
    }
    return files;
}

void DeRaRazovi::SortFileByTime(QFileInfoList& files) {
    std::sort(files.begin(), files.end(), [](const QFileInfo& a, const QFileInfo& b) {
        const QDateTime ta = a.lastModified();
        const QDateTime tb = b.lastModified();
        return ta != tb ? ta < tb : a.filePath() < b.filePath();
    });
}
