#pragma once
#include <QString>

#include "boardchannel.h"

namespace io {

// A serial device in raw mode at 115200 baud, 8 data bits, no parity, 1 stop bit, no flow
// control, non-blocking. The path is always the one the system seam names; this class never
// chooses a device by itself.
class SerialLink : public BoardChannel {
public:
    SerialLink() = default;
    ~SerialLink() override;
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    // Opens and configures the device; on failure errorString() says why.
    bool open(const QString& path);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    QString path() const { return path_; }
    QString errorString() const { return error_; }

    int readAvailable(quint8* buffer, int max) override;
    bool write(const quint8* data, int n) override;

private:
    bool fail(const char* what, int error);

    int fd_ = -1;
    QString path_;
    QString error_;
};

}  // namespace io
