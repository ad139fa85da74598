#include "findshape.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <opencv2/imgproc.hpp>

#include "visionguard.h"
#include "visionlimits.h"

namespace lim = vision::limits;

namespace {

constexpr double kPi = 3.14159265358979323846;
// Search windows whose standard deviation is below one grey level carry no position.
constexpr double kMinWindowVariance = 1.0;

double radians(double degrees) {
    return degrees * kPi / 180.0;
}

double wrapAngle(double degrees) {
    double a = std::fmod(degrees, 360.0);
    if (a <= -180.0) a += 360.0;
    if (a > 180.0) a -= 360.0;
    return a;
}

// Offset of the maximum of a parabola through (-1, left), (0, centre), (1, right).
double parabolaPeak(double left, double centre, double right) {
    const double curvature = left - 2.0 * centre + right;
    if (curvature >= 0.0) return 0.0;
    return std::clamp(0.5 * (left - right) / curvature, -0.5, 0.5);
}

// The model offset (u, v) seen in a search picture where the part is turned by angle.
cv::Point2d turn(const cv::Point2d& d, double angle) {
    const double c = std::cos(radians(angle)), s = std::sin(radians(angle));
    return {c * d.x + s * d.y, -s * d.x + c * d.y};
}

// A copy of rect of image with zeros where rect leaves the image.
cv::Mat cropWithZeros(const cv::Mat& image, const cv::Rect& rect) {
    cv::Mat out = cv::Mat::zeros(rect.size(), image.type());
    const cv::Rect inside = rect & cv::Rect(0, 0, image.cols, image.rows);
    if (!inside.empty()) image(inside).copyTo(out(inside - rect.tl()));
    return out;
}

// 255 where a model point stays inside `bounds` when turned about `centre` by any angle
// within +-range degrees.
cv::Mat reachableMask(cv::Size size, const cv::Rect& bounds, cv::Point2d centre, int range) {
    cv::Mat mask = cv::Mat::zeros(size, CV_8UC1);
    const double halfW = std::min(centre.x - bounds.x, bounds.br().x - 1 - centre.x);
    const double halfH = std::min(centre.y - bounds.y, bounds.br().y - 1 - centre.y);
    const double inner = std::min(halfW, halfH);
    const double a = radians(range);
    // The largest |f| over the angles phi - a .. phi + a, where |f| peaks at peak + k pi.
    const auto largest = [&](double phi, double peak, double (*f)(double)) {
        if (range >= 90) return 1.0;
        const double first = std::ceil((phi - a - peak) / kPi);
        if (peak + first * kPi <= phi + a) return 1.0;
        return std::max(std::abs(f(phi - a)), std::abs(f(phi + a)));
    };
    for (int y = bounds.y; y < bounds.br().y; ++y) {
        uchar* row = mask.ptr<uchar>(y);
        const double dy = y - centre.y;
        for (int x = bounds.x; x < bounds.br().x; ++x) {
            const double dx = x - centre.x;
            const double r = std::hypot(dx, dy);
            if (r > inner) {
                if (range >= 90) continue;  // every direction: the disc inside the bounds
                const double phi = std::atan2(dy, dx);
                if (r * largest(phi, 0.0, std::cos) > halfW ||
                    r * largest(phi, kPi / 2, std::sin) > halfH)
                    continue;
            }
            row[x] = 255;
        }
    }
    return mask;
}

// The runs of non-zero pixels of a mask, row by row: y, first x, end x.
std::vector<cv::Vec3i> maskRuns(const cv::Mat& mask) {
    std::vector<cv::Vec3i> runs;
    for (int y = 0; y < mask.rows; ++y) {
        const uchar* row = mask.ptr<uchar>(y);
        for (int x = 0; x < mask.cols;) {
            if (!row[x]) {
                ++x;
                continue;
            }
            const int first = x;
            while (x < mask.cols && row[x]) ++x;
            runs.emplace_back(y, first, x);
        }
    }
    return runs;
}

}  // namespace

bool FindShape::CreateShape(const cv::Mat& model, double, int, int angleRange, int refX, int refY,
                            bool, int, cv::Mat mask, int accuracy, int layers) {
    return vision::guarded("FindShape::CreateShape", false, [&] {
        const bool ok = createImpl(model, angleRange, refX, refY, mask, accuracy, layers);
        if (!ok) Clear();
        return ok;
    });
}

bool FindShape::Find(cv::Mat& search, int, int* x, int* y, double* score, double* angle) const {
    return vision::guarded("FindShape::Find", false,
                           [&] { return findImpl(search, x, y, score, angle); });
}

void FindShape::Clear() {
    *this = FindShape();
}

bool FindShape::createImpl(const cv::Mat& modelIn, int angleRange, int refX, int refY,
                           const cv::Mat& maskIn, int accuracy, int layers) {
    Clear();
    const cv::Mat model = vision::toGray8(modelIn);
    if (model.empty()) return false;
    const int w = model.cols, h = model.rows;

    cv::Mat userMask;
    if (!maskIn.empty()) {
        if (maskIn.type() != CV_8UC1 || maskIn.size() != model.size()) {
            qWarning("FindShape: mask %dx%d does not fit the model %dx%d", maskIn.cols, maskIn.rows,
                     w, h);
            return false;
        }
        cv::compare(maskIn, 0, userMask, cv::CMP_NE);
        if (cv::countNonZero(userMask) == w * h) userMask.release();
    }
    angleRange_ = std::clamp(angleRange, 0, lim::kShapeMaxAngle);
    // The whole model area is matched, turned or not, less a margin on every side so that the
    // part may move out of an area that touches the frame edge.
    const int margin =
        std::max(lim::kShapeMinCoreMargin,
                 static_cast<int>(std::lround(lim::kShapeCoreMargin * std::min(w, h))));
    const cv::Rect core0(margin, margin, w - 2 * margin, h - 2 * margin);
    const cv::Point2d centre0(w / 2, h / 2);
    if (std::min(core0.width, core0.height) < lim::kShapeMinCoreSide) {
        qWarning("FindShape: model %dx%d is too small", w, h);
        return false;
    }
    discCore_ = angleRange_ >= 90 && userMask.empty();
    if (angleRange_ > 0) {
        // Only what stays inside the core at every angle of the range is matched, so that the
        // margin is still left for the part to move: a small range keeps nearly the whole
        // core, half a turn the disc inside it.
        const cv::Mat reach = reachableMask(model.size(), core0, centre0, angleRange_);
        if (userMask.empty())
            userMask = reach;
        else
            cv::bitwise_and(userMask, reach, userMask);
    }

    cv::Mat levelModel = model.clone(), levelMask = userMask;
    for (int level = 0; level < lim::kShapeMaxLevels; ++level) {
        const double scale = 1.0 / (1 << level);
        if (level > 0) {
            if (std::min(core0.width, core0.height) * scale < lim::kShapeMinTopCoreSide) break;
            cv::pyrDown(levelModel, levelModel);
            if (!levelMask.empty()) {
                cv::resize(levelMask, levelMask, levelModel.size(), 0, 0, cv::INTER_NEAREST);
            }
        }
        Level lv;
        lv.model = levelModel;
        lv.centre = centre0 * scale;
        const cv::Rect bounds(0, 0, levelModel.cols, levelModel.rows);
        const int x0 = static_cast<int>(std::ceil(core0.x * scale));
        const int y0 = static_cast<int>(std::ceil(core0.y * scale));
        const int x1 = static_cast<int>(std::floor((core0.br().x - 1) * scale));
        const int y1 = static_cast<int>(std::floor((core0.br().y - 1) * scale));
        lv.core = cv::Rect(x0, y0, x1 - x0 + 1, y1 - y0 + 1) & bounds;
        lv.coreMask = cv::Mat(lv.core.size(), CV_8UC1, cv::Scalar(255));
        if (!levelMask.empty()) cv::bitwise_and(lv.coreMask, levelMask(lv.core), lv.coreMask);
        lv.count = cv::countNonZero(lv.coreMask);
        if (lv.count < lim::kShapeMinTopCoreSide * lim::kShapeMinTopCoreSide) break;
        lv.fullMask = lv.count == lv.core.area();
        if (lv.fullMask) {
            // Most models: no mask to keep, the core is a view of the level's model.
            lv.coreMask.release();
            lv.maskedCore = levelModel(lv.core);
        } else {
            cv::bitwise_and(levelModel(lv.core), lv.coreMask, lv.maskedCore);
            lv.runs = maskRuns(lv.coreMask);
        }
        lv.sum = cv::sum(lv.maskedCore)[0];
        lv.variance = lv.maskedCore.dot(lv.maskedCore) - lv.sum * lv.sum / lv.count;
        // One step turns the farthest matched pixel by about a pixel.
        double radius = 0;
        if (lv.fullMask) {
            radius = 0.5 * std::hypot(lv.core.width, lv.core.height);
        } else {
            const cv::Point2d c = lv.centre - cv::Point2d(lv.core.tl());
            for (const cv::Vec3i& run : lv.runs)
                for (int x : {run[1], run[2] - 1})
                    radius = std::max(radius, std::hypot(x - c.x, run[0] - c.y));
        }
        lv.angleStep = std::clamp(180.0 / kPi / std::max(radius, 1.0), lim::kShapeMinAngleStep,
                                  lim::kShapeMaxAngleStep);
        levels_.push_back(std::move(lv));
    }
    if (levels_.empty()) {
        qWarning("FindShape: the model mask leaves too little to match");
        return false;
    }
    if (std::sqrt(levels_[0].variance / levels_[0].count) < lim::kShapeFlatSigma) {
        qWarning("FindShape: the model is flat, nothing to find");
        return false;
    }
    maxLevel_ = static_cast<int>(levels_.size()) - 1;
    minScore_ = lim::kShapeMinScoreBase +
                std::clamp(accuracy, 0, lim::kShapeMaxAccuracy) * lim::kShapeMinScoreStep;
    ref_ = cv::Point(refX, refY);
    top_ = buildTopModels(std::clamp(layers - 1, 0, maxLevel_));
    valid_ = true;
    return true;
}

FindShape::TopModels FindShape::buildTopModels(int level) const {
    const Level& lv = levels_[level];
    TopModels top;
    top.level = level;
    const auto finish = [](TurnedModel& m, const cv::Mat& image, const cv::Mat& maskF) {
        cv::Mat imageF;
        image.convertTo(imageF, CV_32F);
        m.count = cv::sum(maskF)[0];
        const double mean = m.count > 0 ? maskF.dot(imageF) / m.count : 0.0;
        cv::subtract(imageF, cv::Scalar(mean), m.weighted);
        m.weighted = m.weighted.mul(maskF);
        m.norm = std::sqrt(m.weighted.dot(m.weighted));
        m.mask = maskF;
    };

    if (angleRange_ == 0) {
        TurnedModel m;
        cv::Mat maskF;
        if (lv.fullMask)
            maskF = cv::Mat(lv.core.size(), CV_32F, cv::Scalar(1));
        else
            lv.coreMask.convertTo(maskF, CV_32F, 1.0 / 255);
        finish(m, lv.model(lv.core), maskF);
        m.centre = lv.centre - cv::Point2d(lv.core.tl());
        if (lv.fullMask) m.image8 = lv.model(lv.core);
        top.models.push_back(std::move(m));
        return top;
    }

    // The core (with the model mask) turned by every angle of the search, each into the box
    // that holds it: the whole model area takes part at every angle.
    cv::Mat coreMask = cv::Mat::zeros(lv.model.size(), CV_8UC1);
    if (lv.fullMask)
        coreMask(lv.core).setTo(255);
    else
        lv.coreMask.copyTo(coreMask(lv.core));
    const cv::Point2d corners[] = {
        cv::Point2d(lv.core.tl()) - lv.centre, cv::Point2d(lv.core.br().x, lv.core.y) - lv.centre,
        cv::Point2d(lv.core.br()) - lv.centre, cv::Point2d(lv.core.x, lv.core.br().y) - lv.centre};

    std::vector<double> angles;
    if (angleRange_ >= 180) {
        const int n = static_cast<int>(std::ceil(360.0 / lv.angleStep));
        for (int i = 0; i < n; ++i) angles.push_back(-180.0 + i * 360.0 / n);
    } else {
        const int n = static_cast<int>(std::ceil(angleRange_ / lv.angleStep));
        for (int i = -n; i <= n; ++i) angles.push_back(static_cast<double>(angleRange_) * i / n);
    }
    if (discCore_) {
        // Every turn of the disc is the disc: one mask, and one box, for all angles.
        const cv::Rect disc = cv::boundingRect(lv.coreMask);
        cv::Mat maskF;
        lv.coreMask(disc).convertTo(maskF, CV_32F, 1.0 / 255);
        const cv::Point2d corner = cv::Point2d(lv.core.tl() + disc.tl());
        for (double a : angles) {
            cv::Mat rotation = cv::getRotationMatrix2D(lv.centre, a, 1.0);
            rotation.at<double>(0, 2) -= corner.x;
            rotation.at<double>(1, 2) -= corner.y;
            cv::Mat turned;
            cv::warpAffine(lv.model, turned, rotation, disc.size(), cv::INTER_LINEAR,
                           cv::BORDER_REPLICATE);
            TurnedModel m;
            m.angle = a;
            m.centre = lv.centre - corner;
            finish(m, turned, maskF);
            top.models.push_back(std::move(m));
        }
        return top;
    }
    for (double a : angles) {
        cv::Point2d low(0, 0), high(0, 0);
        for (const cv::Point2d& corner : corners) {
            const cv::Point2d p = turn(corner, a);
            low = cv::Point2d(std::min(low.x, p.x), std::min(low.y, p.y));
            high = cv::Point2d(std::max(high.x, p.x), std::max(high.y, p.y));
        }
        const cv::Point2d origin(std::ceil(-low.x), std::ceil(-low.y));
        const cv::Size side(static_cast<int>(origin.x + std::ceil(high.x)) + 1,
                            static_cast<int>(origin.y + std::ceil(high.y)) + 1);
        cv::Mat rotation = cv::getRotationMatrix2D(lv.centre, a, 1.0);
        rotation.at<double>(0, 2) += origin.x - lv.centre.x;
        rotation.at<double>(1, 2) += origin.y - lv.centre.y;
        cv::Mat turned, turnedMask, maskF;
        cv::warpAffine(lv.model, turned, rotation, side, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
        cv::warpAffine(coreMask, turnedMask, rotation, side, cv::INTER_NEAREST, cv::BORDER_CONSTANT,
                       cv::Scalar(0));
        // Only the box of what the mask keeps: a turned corner cut off by the mask must not
        // keep the model from being placed near the search picture's edge.
        const cv::Rect used = cv::boundingRect(turnedMask);
        if (used.empty()) continue;
        turnedMask(used).convertTo(maskF, CV_32F, 1.0 / 255);
        TurnedModel m;
        m.angle = a;
        m.centre = origin - cv::Point2d(used.tl());
        finish(m, turned(used), maskF);
        top.models.push_back(std::move(m));
    }
    return top;
}

std::vector<FindShape::Pose> FindShape::searchTop(const cv::Mat& search8,
                                                  const TopModels& top) const {
    // A search picture a little smaller than the turned model is padded so that it still fits.
    int needW = 0, needH = 0;
    for (const TurnedModel& m : top.models) {
        needW = std::max(needW, m.weighted.cols);
        needH = std::max(needH, m.weighted.rows);
    }
    const int padX = std::max(0, (needW - search8.cols + 1) / 2);
    const int padY = std::max(0, (needH - search8.rows + 1) / 2);
    cv::Mat padded8 = search8;
    if (padX > 0 || padY > 0) {
        cv::copyMakeBorder(search8, padded8, padY, padY, padX, padX, cv::BORDER_REPLICATE);
    }
    cv::Mat s, sq;
    padded8.convertTo(s, CV_32F);
    cv::subtract(s, cv::mean(s), s);  // keeps the correlation sums small in float
    sq = s.mul(s);

    std::vector<Pose> poses;
    const int suppress = suppression(top.level);
    cv::Mat sum, sumSq;  // of the search under the mask, kept while models share their mask
    const uchar* summedMask = nullptr;
    for (const TurnedModel& m : top.models) {
        cv::Mat score;
        if (!m.image8.empty()) {
            cv::matchTemplate(padded8, m.image8, score, cv::TM_CCOEFF_NORMED);
        } else {
            cv::Mat num;
            cv::matchTemplate(s, m.weighted, num, cv::TM_CCORR);
            if (m.mask.data != summedMask) {
                cv::matchTemplate(s, m.mask, sum, cv::TM_CCORR);
                cv::matchTemplate(sq, m.mask, sumSq, cv::TM_CCORR);
                summedMask = m.mask.data;
            }
            score.create(num.size(), CV_32F);
            for (int y = 0; y < num.rows; ++y) {
                const float* n = num.ptr<float>(y);
                const float* s1 = sum.ptr<float>(y);
                const float* s2 = sumSq.ptr<float>(y);
                float* out = score.ptr<float>(y);
                for (int x = 0; x < num.cols; ++x) {
                    const double var = s2[x] - double(s1[x]) * s1[x] / m.count;
                    out[x] = var > kMinWindowVariance * m.count && m.norm > 0
                                 ? static_cast<float>(n[x] / (m.norm * std::sqrt(var)))
                                 : 0.0f;
                }
            }
        }
        // Several peaks of every model, so that a second place that fits as well is seen.
        for (int k = 0; k < lim::kShapeCandidates; ++k) {
            double best;
            cv::Point at;
            cv::minMaxLoc(score, nullptr, &best, nullptr, &at);
            if (best <= 0.0) break;
            Pose p;
            p.position = cv::Point2d(at) + m.centre - cv::Point2d(padX, padY);
            p.angle = m.angle;
            p.score = best;
            poses.push_back(p);
            const cv::Rect around(at.x - suppress, at.y - suppress, 2 * suppress + 1,
                                  2 * suppress + 1);
            score(around & cv::Rect(0, 0, score.cols, score.rows)).setTo(-1.0);
        }
    }
    return distinctPlaces(std::move(poses), top.level);
}

int FindShape::suppression(int level) const {
    const Level& lv = levels_[level];
    return std::max(2, std::min(lv.core.width, lv.core.height) / 4);
}

// The best pose of every place, best first, at most kShapeCandidates: poses nearer than the
// level's suppression distance are one place, whatever their angle.
std::vector<FindShape::Pose> FindShape::distinctPlaces(std::vector<Pose> poses, int level) const {
    const int suppress = suppression(level);
    std::stable_sort(poses.begin(), poses.end(),
                     [](const Pose& a, const Pose& b) { return a.score > b.score; });
    std::vector<Pose> kept;
    for (const Pose& p : poses) {
        const bool duplicate = std::any_of(kept.begin(), kept.end(), [&](const Pose& k) {
            return cv::norm(k.position - p.position) < suppress;
        });
        if (!duplicate) kept.push_back(p);
        if (static_cast<int>(kept.size()) == lim::kShapeCandidates) break;
    }
    return kept;
}

// Masked normalised cross-correlation of the level's core with every (2r+1)^2 placement in
// window (the core's box grown by r on every side, in model orientation); scores is filled row
// by row, the best score is returned.
double FindShape::correlateAt(const cv::Mat& window, const Level& lv, int r,
                              std::vector<double>& scores) const {
    const int n = 2 * r + 1;
    scores.assign(static_cast<size_t>(n) * n, -1.0);
    // Sums of the window under the mask: for one placement straight from the window, for more
    // from integral pictures (a box for a full core, the mask's row runs otherwise).
    cv::Mat integralSum, integralSq;
    if (r > 0) {
        // Integer sums are exact and quicker, as long as a window's grey levels fit them.
        const bool fits = double(window.total()) * 255 < double(std::numeric_limits<int>::max());
        cv::integral(window, integralSum, integralSq, fits ? CV_32S : CV_64F, CV_64F);
    }
    double best = -1.0;
    for (int v = -r; v <= r; ++v) {
        for (int u = -r; u <= r; ++u) {
            const cv::Rect at(r + u, r + v, lv.core.width, lv.core.height);
            const cv::Mat s = window(at);
            double sum = 0, sumSq = 0;
            const auto corner = [&](int y, int x) {
                return integralSum.depth() == CV_32S ? double(integralSum.at<int>(y, x))
                                                     : integralSum.at<double>(y, x);
            };
            const auto box = [&](int y0, int y1, int x0, int x1) {
                const double* topSq = integralSq.ptr<double>(y0);
                const double* bottomSq = integralSq.ptr<double>(y1);
                sum += corner(y1, x1) - corner(y1, x0) - corner(y0, x1) + corner(y0, x0);
                sumSq += bottomSq[x1] - bottomSq[x0] - topSq[x1] + topSq[x0];
            };
            if (r == 0) {
                cv::Scalar mean, deviation;
                cv::meanStdDev(s, mean, deviation, lv.fullMask ? cv::noArray() : lv.coreMask);
                sum = mean[0] * lv.count;
                sumSq = (deviation[0] * deviation[0] + mean[0] * mean[0]) * lv.count;
            } else if (lv.fullMask) {
                box(at.y, at.y + at.height, at.x, at.x + at.width);
            } else {
                for (const cv::Vec3i& run : lv.runs)
                    box(run[0] + at.y, run[0] + at.y + 1, run[1] + at.x, run[2] + at.x);
            }
            const double var = sumSq - sum * sum / lv.count;
            double ncc = 0.0;
            if (var > kMinWindowVariance * lv.count && lv.variance > 0) {
                const double num = lv.maskedCore.dot(s) - lv.sum * sum / lv.count;
                ncc = num / std::sqrt(lv.variance * var);
            }
            scores[(v + r) * n + (u + r)] = ncc;
            best = std::max(best, ncc);
        }
    }
    return best;
}

FindShape::Pose FindShape::refine(const cv::Mat& search, int level, const Pose& start, int r,
                                  AngleTrials angleTrials) const {
    const Level& lv = levels_[level];
    const cv::Point2d centre(lv.centre);

    // The angle is tried as far as the position: the coarser level's angle may be off by
    // more than a step of this one.
    std::vector<double> angles{start.angle};
    const int reach = angleRange_ == 0 ? 0 : angleTrials == AngleTrials::Wide ? r : 1;
    for (int k = 1; k <= reach; ++k) {
        angles.insert(angles.begin(), start.angle - k * lv.angleStep);
        angles.push_back(start.angle + k * lv.angleStep);
    }
    const size_t middle = angles.size() / 2;

    struct Trial {
        double best = -2.0;
        int radius = 0;
        int index = 0;
        std::vector<double> scores;
        cv::Point2d position;
        double atStart() const { return scores[size_t(radius * (2 * radius + 1) + radius)]; }
    };
    std::vector<Trial> trials(angles.size());
    for (size_t i = 0; i < angles.size(); ++i) {
        Trial& t = trials[i];
        // At full resolution the other angles are scored at the start position only: the
        // position is already known to a pixel there, and every placement costs a pass.
        t.radius = angleTrials == AngleTrials::AtStart && i != middle ? 0 : r;
        const cv::Size windowSize(lv.core.width + 2 * t.radius, lv.core.height + 2 * t.radius);
        cv::Mat window;
        if (angleRange_ == 0) {
            // Translation only: whole-pixel placements of the model's top-left corner.
            const cv::Point topLeft(static_cast<int>(std::lround(start.position.x - centre.x)),
                                    static_cast<int>(std::lround(start.position.y - centre.y)));
            t.position = cv::Point2d(topLeft) + centre;
            window = cropWithZeros(
                search,
                cv::Rect(topLeft + lv.core.tl() - cv::Point(t.radius, t.radius), windowSize));
        } else {
            // Sample the search picture in model orientation around the hypothesis.
            t.position = start.position;
            const double c = std::cos(radians(angles[i])), s = std::sin(radians(angles[i]));
            const cv::Point2d offset = turn(
                cv::Point2d(lv.core.tl()) - cv::Point2d(t.radius, t.radius) - centre, angles[i]);
            const cv::Matx23d map(c, s, start.position.x + offset.x, -s, c,
                                  start.position.y + offset.y);
            cv::warpAffine(search, window, cv::Mat(map), windowSize,
                           cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_CONSTANT,
                           cv::Scalar(0));
        }
        t.best = correlateAt(window, lv, t.radius, t.scores);
        t.index =
            static_cast<int>(std::max_element(t.scores.begin(), t.scores.end()) - t.scores.begin());
    }

    size_t bestTrial = middle;
    if (angleTrials != AngleTrials::AtStart)
        for (size_t i = 0; i < trials.size(); ++i)
            if (trials[i].best > trials[bestTrial].best) bestTrial = i;
    const Trial& t = trials[bestTrial];
    const int tr = t.radius, n = 2 * tr + 1;
    const int bu = t.index % n - tr, bv = t.index / n - tr;
    cv::Point2d offset(bu, bv);
    if (angleRange_ > 0) {
        const auto at = [&](int u, int v) { return t.scores[size_t((v + tr) * n + (u + tr))]; };
        if (bu > -tr && bu < tr)
            offset.x += parabolaPeak(at(bu - 1, bv), at(bu, bv), at(bu + 1, bv));
        if (bv > -tr && bv < tr)
            offset.y += parabolaPeak(at(bu, bv - 1), at(bu, bv), at(bu, bv + 1));
    }

    Pose result;
    result.score = t.best;
    result.angle = angles[bestTrial];
    result.position = t.position + turn(offset, result.angle);
    if (angleRange_ > 0 && angleTrials == AngleTrials::AtStart) {
        result.angle += lv.angleStep *
                        parabolaPeak(trials[0].atStart(), trials[1].atStart(), trials[2].atStart());
    } else if (angleRange_ > 0 && bestTrial > 0 && bestTrial + 1 < trials.size()) {
        result.angle +=
            lv.angleStep * parabolaPeak(trials[bestTrial - 1].best, trials[bestTrial].best,
                                        trials[bestTrial + 1].best);
    }
    return result;
}

bool FindShape::ambiguous(const std::vector<Pose>& places) const {
    return places.size() >= 2 && places[0].score >= minScore_ &&
           places[1].score >= places[0].score - lim::kShapeAmbiguityMargin;
}

bool FindShape::findImpl(const cv::Mat& searchIn, int* x, int* y, double* score,
                         double* angle) const {
    if (!valid_) return false;
    const cv::Mat search = vision::toGray8(searchIn);
    if (search.empty()) return false;
    const Level& base = levels_[0];
    if (search.cols < base.core.width || search.rows < base.core.height) return false;

    int top = top_.level;
    while (top<maxLevel_&& double(search.total()) / double(1 << (2 * top))>
               lim::kShapeMaxTopSearchPixels)
        ++top;
    std::vector<cv::Mat> pyramid;
    cv::buildPyramid(search, pyramid, top);
    // Fall back to a finer top level when the coarse search picture is smaller than the core.
    while (top > 0 && (pyramid[top].cols < levels_[top].core.width ||
                       pyramid[top].rows < levels_[top].core.height))
        --top;

    cv::Scalar mean, sigma;
    cv::meanStdDev(pyramid[top], mean, sigma);
    if (sigma[0] < lim::kShapeFlatSigma) return false;

    const TopModels local = top == top_.level ? TopModels() : buildTopModels(top);
    const TopModels& models = top == top_.level ? top_ : local;
    std::vector<Pose> poses = searchTop(pyramid[top], models);
    if (poses.empty()) return false;

    // Every place is followed down to the second finest level; there the best must stand out,
    // or the part could as well be elsewhere. Only the winner is refined at full resolution.
    for (int level = top - 1; level >= 1; --level) {
        const int radius = level == top - 1 ? 2 : 1;
        for (Pose& p : poses) {
            Pose start = p;
            start.position *= 2.0;
            p = refine(pyramid[level], level, start, radius, AngleTrials::Wide);
        }
        poses = distinctPlaces(std::move(poses), level);
        // A place already far behind the best cannot catch up at a finer level.
        const double keep = poses.front().score - lim::kShapeKeepMargin;
        poses.erase(std::remove_if(poses.begin() + 1, poses.end(),
                                   [&](const Pose& p) { return p.score < keep; }),
                    poses.end());
    }
    if (ambiguous(poses)) return false;
    poses.resize(1);
    if (top >= 1) {
        Pose start = poses[0];
        start.position *= 2.0;
        poses[0] = refine(pyramid[0], 0, start, top == 1 ? 2 : 1,
                          top == 1 ? AngleTrials::Wide : AngleTrials::AtStart);
    } else if (angleRange_ > 0) {
        poses[0] = refine(pyramid[0], 0, poses[0], 1, AngleTrials::Wide);
    }

    const Pose& best = poses.front();
    if (best.score < minScore_) return false;
    if (x) *x = ref_.x - static_cast<int>(std::lround(best.position.x));
    if (y) *y = ref_.y - static_cast<int>(std::lround(best.position.y));
    if (score) *score = 100.0 * best.score;
    if (angle) *angle = wrapAngle(-best.angle);
    return true;
}
