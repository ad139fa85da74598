#include "privatemount.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace testsupport {

namespace {

constexpr char kParentNamespace[] = "MOULDMON_PARENT_MOUNT_NS";
constexpr char kEnteredMarker[] = "MOULDMON_MOUNT_NS_MARKER";
constexpr int kChildTimeoutMs = 240000;
constexpr char kFillerName[] = ".filler";

QString mountNamespace() {
    return QFileInfo(QStringLiteral("/proc/self/ns/mnt")).symLinkTarget();
}

// Mounting is allowed only in a namespace other than the one the tests were started in.
bool inOwnNamespace() {
    const QString parent = qEnvironmentVariable(kParentNamespace);
    return !parent.isEmpty() && parent != mountNamespace();
}

}  // namespace

bool inPrivateMountNamespace() {
    if (inOwnNamespace()) {
        QFile marker(qEnvironmentVariable(kEnteredMarker));
        marker.open(QIODevice::WriteOnly);
        return true;
    }
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const QString filter =
        QStringLiteral("--gtest_filter=%1.%2")
            .arg(QLatin1String(test->test_suite_name()), QLatin1String(test->name()));
    if (::geteuid() != 0) {
        // Recorded as the test's result; the caller returns at once.
        [] { GTEST_SKIP() << "mounting a tmpfs needs root"; }();
        return false;
    }
    const QString marker = QDir::temp().filePath(QStringLiteral("mouldmon-ns-%1-%2")
                                                     .arg(QCoreApplication::applicationPid())
                                                     .arg(test->name()));
    QFile::remove(marker);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QLatin1String(kParentNamespace), mountNamespace());
    env.insert(QLatin1String(kEnteredMarker), marker);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QStringLiteral("unshare"),
                {QStringLiteral("--mount"), QStringLiteral("--propagation"),
                 QStringLiteral("private"), QCoreApplication::applicationFilePath(), filter});
    const bool finished = child.waitForFinished(kChildTimeoutMs);
    if (!finished) child.kill();
    EXPECT_TRUE(finished) << "the test did not end in its mount namespace";
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << "the test failed in its mount namespace (output above)";
    EXPECT_TRUE(QFile::exists(marker)) << "the test did not run in its mount namespace";
    QFile::remove(marker);
    return false;
}

TmpfsMount::TmpfsMount(const QString& folder, qint64 bytes)
    : path_(QDir(folder).absolutePath()), options_(QStringLiteral("size=%1").arg(bytes)) {
    if (!inOwnNamespace()) {
        ADD_FAILURE() << "TmpfsMount outside a private mount namespace";
        return;
    }
    QDir().mkpath(path_);
    mounted_ = ::mount("tmpfs", QFile::encodeName(path_).constData(), "tmpfs", 0,
                       options_.toLatin1().constData()) == 0;
    EXPECT_TRUE(mounted_) << "cannot mount a tmpfs on " << path_.toStdString();
}

TmpfsMount::~TmpfsMount() {
    if (mounted_) ::umount2(QFile::encodeName(path_).constData(), MNT_DETACH);
}

bool TmpfsMount::setReadOnly(bool readOnly) {
    const unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
    return ::mount("tmpfs", QFile::encodeName(path_).constData(), "tmpfs", flags,
                   options_.toLatin1().constData()) == 0;
}

void TmpfsMount::fill(qint64 leaveBytes) {
    const QByteArray filler = QFile::encodeName(QDir(path_).filePath(kFillerName));
    const int fd = ::open(filler.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    const QByteArray page(4096, 'f');
    while (::write(fd, page.constData(), size_t(page.size())) == page.size()) {
    }
    const off_t size = ::lseek(fd, 0, SEEK_END);
    const off_t keep = size - ((leaveBytes + page.size() - 1) / page.size()) * page.size();
    EXPECT_EQ(::ftruncate(fd, keep > 0 ? keep : 0), 0);
    ::close(fd);
}

void TmpfsMount::unfill() {
    QFile::remove(QDir(path_).filePath(kFillerName));
}

}  // namespace testsupport
