#pragma once
// The records of the device text protocol between app, IO box and cameras: one parsed
// datagram as each device role sees it, and a camera cell's configuration.

#include <QList>
#include <QMap>
#include <QMetaType>
#include <QString>
#include <array>

// One datagram as the IO box sees it. The box also keeps its main camera in one:
// field1 = the main camera's uuid, field2 = its address.
struct DTP_Procotol_IO {
    QString ip;
    int port = -1;
    QString role = QStringLiteral("E");
    int code = 0;
    QString uuid;
    QString field1;
    QString field2;
};

// One sub camera of a cell.
struct DTP_Procotol_Device_Cell {
    QString uuid;
    QString address;
    // Not carried by the configuration string or file; 0 for a cell read from either.
    qint64 stamp = 0;
};

// One datagram as a camera sees it, together with a whole cell configuration.
struct DTP_Procotol_Struct {
    QString ip;
    int port = -1;
    QString role;
    int code = 0;
    QString uuid;
    QString ps_machineid;
    QString ps_io_uuid;
    QString ps_io_address;
    // Copied with the record; no message or file sets the two spares.
    int ps_io_spare = 0;
    QString ps_main_camera_uuid;
    QString ps_main_camera_address;
    int ps_main_camera_spare = 0;
    QList<DTP_Procotol_Device_Cell> ps_sub_camera;
    // In a camera's own configuration: MakeCamCfg2Str of itself, sent in the discover reply.
    QString cfgText;
};

// A camera the main camera works with.
struct DTP_WorkCamera {
    QString uuid;
    QString address;
    // Milliseconds since the epoch; 0 until the camera has been heard.
    qint64 lastSeen = 0;
    QString note;
};

struct DTP_WorkDevices {
    QMap<QString, DTP_WorkCamera> cameras;
    std::array<int, 5> spare{};
};

Q_DECLARE_METATYPE(DTP_Procotol_IO)
Q_DECLARE_METATYPE(DTP_Procotol_Struct)
Q_DECLARE_METATYPE(DTP_WorkDevices)
