#pragma once
// File systems a test mounts for itself: a small tmpfs that can be filled up or made
// read-only, seen by nobody else. The test runs again in a child process inside a private
// mount namespace of its own (unshare --mount); its mounts vanish with that process.
//
//   TEST(Suite, Name) {
//       if (!testsupport::inPrivateMountNamespace()) return;  // the parent checked the child
//       testsupport::TmpfsMount disk("disk", 256 * 1024);
//       ...
//   }

#include <QString>

namespace testsupport {

// In the parent: runs the current test in a child inside a private mount namespace, waits
// for it and fails the test when the child failed; returns false. Without root the test is
// skipped; as root a child that cannot make its namespace or mount fails it. In the child:
// returns true.
bool inPrivateMountNamespace();

// A tmpfs of the given size on a folder (made when missing), unmounted with the object. Only
// inside the child of inPrivateMountNamespace().
class TmpfsMount {
public:
    TmpfsMount(const QString& folder, qint64 bytes);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    QString path() const { return path_; }
    bool isMounted() const { return mounted_; }
    bool setReadOnly(bool readOnly);
    // Fills the file system up, leaving about `leaveBytes` free (rounded to pages).
    void fill(qint64 leaveBytes = 0);
    // Frees what fill() took.
    void unfill();

private:
    QString path_;
    QString options_;
    bool mounted_ = false;
};

}  // namespace testsupport
