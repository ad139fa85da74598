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
}  // namespace

QString cannotWriteText(const QString& file, storage::WriteCause cause) {
    return lanOwn(kTexts[int(cause)]).arg(file);
}

QString cannotWriteText(const QString& file) {
    return cannotWriteText(file, storage::probeWriteCause(file));
}

}  // namespace lang
