#include "languagetable.h"

#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QVector>

namespace lang {

namespace {

constexpr int kFieldsPerLine = 1 + kLanguageCount;

// Checks one parsed line and returns its entry number, or -1 with the reason in why.
int entryOf(const QJsonDocument& doc, int tableSize, QString* why) {
    if (!doc.isArray()) {
        *why = QStringLiteral("not a JSON array");
        return -1;
    }
    const QJsonArray fields = doc.array();
    if (fields.size() != kFieldsPerLine) {
        *why = QStringLiteral("%1 fields instead of %2").arg(fields.size()).arg(kFieldsPerLine);
        return -1;
    }
    const QJsonValue number = fields.at(0);
    const double value = number.toDouble(-1);
    const int entry = number.toInt(-1);
    if (!number.isDouble() || value != entry || entry < 0 || entry >= tableSize / kLanguageCount) {
        *why = QStringLiteral("entry number missing or out of range");
        return -1;
    }
    for (int language = 0; language < kLanguageCount; ++language) {
        if (!fields.at(1 + language).isString()) {
            *why = QStringLiteral("text of language %1 is not a string").arg(language);
            return -1;
        }
    }
    return entry;
}

}  // namespace

LoadReport loadLanguageTable(const QByteArray& data, QString* table, int tableSize) {
    LoadReport report;
    QVector<bool> seen(tableSize / kLanguageCount, false);
    const QList<QByteArray> lines = data.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        if (line.isEmpty()) continue;
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        QString why;
        int entry = -1;
        if (error.error != QJsonParseError::NoError)
            why = error.errorString();
        else
            entry = entryOf(doc, tableSize, &why);
        if (entry >= 0 && seen[entry]) {
            why = QStringLiteral("entry %1 is listed twice").arg(entry);
            entry = -1;
        }
        if (entry < 0) {
            qWarning() << "language table line" << i + 1 << "skipped:" << why;
            ++report.rejected;
            continue;
        }
        seen[entry] = true;
        const QJsonArray fields = doc.array();
        for (int language = 0; language < kLanguageCount; ++language)
            table[entry * kLanguageCount + language] = fields.at(1 + language).toString();
        ++report.entries;
    }
    return report;
}

}  // namespace lang

void fillLanguageTable() {
    // The resource lives in a static library; without this the linker may drop it.
    Q_INIT_RESOURCE(lang);
    for (QString& text : gaLanStr) text.clear();
    QFile file(QString::fromLatin1(lang::kTableResource));
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "language table" << lang::kTableResource
                   << "cannot be read; texts stay empty";
        return;
    }
    const lang::LoadReport report =
        lang::loadLanguageTable(file.readAll(), gaLanStr, kLanguageTableSize);
    qInfo() << "language table:" << report.entries << "entries," << report.rejected << "rejected";
}
