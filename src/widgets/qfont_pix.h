#pragma once
#include <QFont>
#include <QString>

// A font of a family at a size in pixels: the panel's screens are laid out in pixels, so their
// texts must not grow with the display's dots per inch.
class QFont_Pix : public QFont {
public:
    QFont_Pix(const QString& family, int pixelSize) : QFont(family) { setPixelSize(pixelSize); }
};
