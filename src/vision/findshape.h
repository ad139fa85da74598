#pragma once
// Position model of one detection: finds where a model crop of the template frame lies in a
// search crop of a new frame, and how far it turned.
//
// The model is matched on its core (the model rectangle shrunk by a margin on every side), so
// that a part may move out of a model area that touches the frame edge; a rotation search turns
// the whole core, so that a wide or tall area fixes the position in both directions. A pyramid
// search correlates the core exhaustively at the coarsest level (over the whole angle range),
// keeps the best places and refines them level by level in position and angle with masked
// normalised cross-correlation. When the two best places fit nearly equally well (a repeated
// pattern, a featureless stretch), the part is not found rather than put in the wrong one.
//
// Find's outputs are what the inspection needs to bring the frame back onto the template:
// x = refX - (reference point found in the search crop), likewise y, so that adding the search
// crop's frame position moves the part back; angle is the rotation (degrees, positive
// counter-clockwise as shown) that then turns it back about the reference point.
//
// A default-constructed model holds no buffers and is invalid.

#include <opencv2/core.hpp>
#include <vector>

class FindShape {
public:
    FindShape() = default;

    // model: 8-bit crop of the template; angleRange: 0 searches translation only, 1..180 the
    // rotations within +-angleRange; refX, refY: the model centre in frame coordinates; mask:
    // 8-bit, the model's size (255 = part of the model) or empty; accuracy 0..10 sets the
    // minimum score; layers: pyramid levels. Unnamed arguments are not used.
    bool CreateShape(const cv::Mat& model, double, int, int angleRange, int refX, int refY, bool,
                     int, cv::Mat mask, int accuracy, int layers);
    // False for an empty or too small search crop, a flat picture, no model, or a best score
    // below the minimum; the outputs are then left untouched. score is 0..100.
    bool Find(cv::Mat& search, int, int* x, int* y, double* score, double* angle) const;

    bool IsValid() const { return valid_; }
    void Clear();

private:
    // One pyramid level of the model.
    struct Level {
        cv::Mat model;                // 8-bit, the whole model at this level
        cv::Point2d centre;           // reference point in model coordinates
        cv::Rect core;                // core bounding box in model coordinates
        cv::Mat coreMask;             // 8-bit 0/255 over core; empty when fullMask
        std::vector<cv::Vec3i> runs;  // the mask row by row: y, first x, end x (core coordinates)
        cv::Mat maskedCore;           // 8-bit model(core) with 0 outside the mask
        double count = 0;             // pixels in the mask
        double sum = 0;               // of the model under the mask
        double variance = 0;          // sum of squared deviations under the mask
        bool fullMask = true;         // the mask covers the whole core rectangle
        double angleStep = 0;         // degrees
    };
    // The coarsest level's model turned by one angle of the exhaustive search.
    struct TurnedModel {
        double angle = 0;
        cv::Mat image8;      // 8-bit, only for an unturned full-rectangle model
        cv::Mat weighted;    // CV_32F mask * (model - mean)
        cv::Mat mask;        // CV_32F 0/1
        double norm = 0;     // L2 norm of weighted
        double count = 0;    // pixels in the mask
        cv::Point2d centre;  // reference point in the turned model's coordinates
    };
    struct TopModels {
        int level = -1;
        std::vector<TurnedModel> models;
    };
    struct Pose {
        cv::Point2d position;  // reference point in search coordinates of the level
        double angle = 0;      // degrees: the part is turned by this against the model
        double score = -1;
    };

    bool createImpl(const cv::Mat& model, int angleRange, int refX, int refY, const cv::Mat& mask,
                    int accuracy, int layers);
    bool findImpl(const cv::Mat& search, int* x, int* y, double* score, double* angle) const;
    TopModels buildTopModels(int level) const;
    std::vector<Pose> searchTop(const cv::Mat& search, const TopModels& top) const;
    // Poses nearer than this (pixels of the level) are one place.
    int suppression(int level) const;
    std::vector<Pose> distinctPlaces(std::vector<Pose> poses, int level) const;
    // The two best places (distinct, best first) fit too equally to tell which is the part.
    bool ambiguous(const std::vector<Pose>& places) const;
    // How refine tries angles besides the start's: as many steps as pixels, each with every
    // placement (Wide), or one step each way scored at the start position only (AtStart).
    enum class AngleTrials { Wide, AtStart };
    // The best pose within radius pixels of start.
    Pose refine(const cv::Mat& search, int level, const Pose& start, int radius,
                AngleTrials angleTrials) const;
    double correlateAt(const cv::Mat& window, const Level& lv, int radius,
                       std::vector<double>& scores) const;

    std::vector<Level> levels_;
    TopModels top_;  // for the level the settings ask for
    int maxLevel_ = 0;
    int angleRange_ = 0;
    bool discCore_ = false;  // half a turn without a model mask: the matched core is a disc
    cv::Point ref_;
    double minScore_ = 1.0;
    bool valid_ = false;
};
