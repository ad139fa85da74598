#pragma once
// Drawings of an open injection mould as a camera above the machine sees it, for the
// simulation camera. Everything is drawn from shapes (no text, no outside pictures), so the
// same program draws the same pictures everywhere.

#include <QImage>
#include <QSize>

namespace mouldpictures {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

// The moving half with four cup cavities fed by a runner from the centre sprue.
struct CavityScene {
    int lightShift = 0;     // added to every light level: lighting that differs a little
    bool partLeft = false;  // a moulded cup and its runner left in the upper right cavity
};

// The fixed half with six core pins and two slides.
struct CoreScene {
    int lightShift = 0;
    bool coreMissing = false;  // the lower middle core pin broken off
};

QImage drawCavityHalf(const CavityScene& scene, QSize size = QSize(kWidth, kHeight));
QImage drawCoreHalf(const CoreScene& scene, QSize size = QSize(kWidth, kHeight));

}  // namespace mouldpictures
