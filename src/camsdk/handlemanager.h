#pragma once
// The table from handle to open camera behind the handle API. Handles start at 1 and are not
// reused while the process runs. Used on the library's own thread only (see SdkHost).

#include <QMap>
#include <QObject>

class ZemCamera;

class HandleManager : public QObject {
    Q_OBJECT
public:
    explicit HandleManager(QObject* parent = nullptr);
    // Closes the cameras still open.
    ~HandleManager() override;

    // The table, created on first use.
    static HandleManager* get();
    // Closes every camera and drops the table (at library shut-down).
    static void release();

    int addHandle(ZemCamera* camera, int& handle);
    // -1 for a handle not in the table; else 0, the camera destroyed and handle set to -1.
    int deleteHandle(int& handle);
    int deleteHandle(ZemCamera* camera, int& handle);
    ZemCamera* getCamera(int handle);
    int getCamera(ZemCamera* camera, int handle);

    QMap<int, ZemCamera*> handles;

    static HandleManager* instance;
    static int handle;
};
