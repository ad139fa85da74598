#include "uifont.h"

#include <QApplication>
#include <QDebug>
#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace lang {

namespace {

// Preferred families per language: simplified Chinese, English, traditional Chinese, Japanese.
// English texts are drawn with the same family as simplified Chinese, since operator names and
// records may still hold Chinese characters.
QStringList preferredFamilies(int language) {
    const QStringList sc = {QStringLiteral("Noto Sans CJK SC"),
                            QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("wqy-microhei"),
                            QStringLiteral("Noto Sans CJK TC"), QStringLiteral("Noto Sans CJK JP")};
    switch (language) {
        case 2:
            return QStringList{QStringLiteral("Noto Sans CJK TC"),
                               QStringLiteral("Noto Sans CJK HK")} +
                   sc;
        case 3:
            return QStringList{QStringLiteral("Noto Sans CJK JP")} + sc;
        default:
            return sc;
    }
}

QFontDatabase::WritingSystem writingSystemOf(int language) {
    switch (language) {
        case 2:
            return QFontDatabase::TraditionalChinese;
        case 3:
            return QFontDatabase::Japanese;
        default:
            return QFontDatabase::SimplifiedChinese;
    }
}

}  // namespace

QString cjkFontFamily(int language) {
    const QFontDatabase database;
    const QStringList installed = database.families();
    for (const QString& wanted : preferredFamilies(language)) {
        for (const QString& family : installed) {
            if (family.compare(wanted, Qt::CaseInsensitive) == 0) return family;
        }
    }
    // Any other family that claims the writing system, then any with simplified Chinese.
    QStringList candidates = database.families(writingSystemOf(language));
    if (candidates.isEmpty()) candidates = database.families(QFontDatabase::SimplifiedChinese);
    return candidates.isEmpty() ? QString() : candidates.first();
}

}  // namespace lang

QString applyUiFont(QApplication& app, int language, UiFontLog log) {
    const QString family = lang::cjkFontFamily(language);
    if (family.isEmpty()) {
        qWarning() << "no font with Chinese and Japanese glyphs is installed; texts may not show";
        return family;
    }
    QFont font = app.font();
    font.setFamily(family);
    app.setFont(font);
    const QStringList installed = QFontDatabase().families();
    for (const char* name : lang::kPanelFamilies) {
        const QString panelFamily = QString::fromLatin1(name);
        if (installed.contains(panelFamily, Qt::CaseInsensitive)) continue;
        QFont::removeSubstitutions(panelFamily);
        QFont::insertSubstitution(panelFamily, family);
    }
    if (log == UiFontLog::Announce) qInfo() << "user interface font:" << family;
    return family;
}
