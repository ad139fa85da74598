#include "writefailuretexts.h"

#include "globals.h"

namespace lang {

namespace {
// One row per cause, the languages in the table's order (simplified Chinese, English,
// traditional Chinese, Japanese); %1 is the file.
const char* const kTexts[][kLanguageCount] = {
    {"%1 无法写入", "%1 cannot be written", "%1 無法寫入", "%1 を書き込めません"},
    {"%1 无法写入：磁盘空间已满", "%1 cannot be written: no space left on the disk",
     "%1 無法寫入：磁碟空間已滿", "%1 を書き込めません：ディスクの空き容量がありません"},
    {"%1 无法写入：磁盘为只读", "%1 cannot be written: the disk is read-only",
     "%1 無法寫入：磁碟為唯讀", "%1 を書き込めません：ディスクは読み取り専用です"},
};

// %1 the camera, %2 how many templates it keeps, %3 the file and why it cannot be written. The
// camera is named as the record of the resample names it (entry 586).
const char* const kTemplateNotResampled[kLanguageCount] = {
    "%1号相机模板未重新采样，原有的全部模板（%2个）仍然有效：%3",
    "Camera %1 template not resampled, all its templates as they were (%2) stay in force: %3",
    "%1號相機樣板未重新取樣，原有的全部樣板（%2個）仍然有效：%3",
    "%1号カメラのテンプレートは再サンプリングされず、"
    "元のすべてのテンプレート（%2個）が有効なままです：%3",
};
const char* const kIgnorePointsNotCleared[kLanguageCount] = {
    "%1号相机忽略点未清除，仍然有效：%2",
    "Camera %1 ignore points not cleared, they stay in force: %2",
    "%1號相機忽略點未清除，仍然有效：%2",
    "%1号カメラの無視点は削除されず、そのまま有効です：%2",
};
}  // namespace

QString cannotWriteText(const QString& file, storage::WriteCause cause) {
    return lanOwn(kTexts[int(cause)]).arg(file);
}

QString cannotWriteText(const QString& file) {
    return cannotWriteText(file, storage::probeWriteCause(file));
}

QString templateNotResampledText(int camera, int templates, const QString& file) {
    return lanOwn(kTemplateNotResampled)
        .arg(QString::number(camera), QString::number(templates), cannotWriteText(file));
}

QString ignorePointsNotClearedText(int camera, const QString& file) {
    return lanOwn(kIgnorePointsNotCleared).arg(QString::number(camera), cannotWriteText(file));
}

}  // namespace lang
