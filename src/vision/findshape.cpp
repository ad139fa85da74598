#include "findshape.h"

#include <algorithm>
#include <cmath>
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

double angleDistance(double a, double b) {
    return std::abs(wrapAngle(a - b));
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
    userMaskFull_ = userMask.empty();
    angleRange_ = std::clamp(angleRange, 0, lim::kShapeMaxAngle);

    const int margin =
        std::max(lim::kShapeMinCoreMargin,
                 static_cast<int>(std::lround(lim::kShapeCoreMargin * std::min(w, h))));
    const cv::Rect core0(margin, margin, w - 2 * margin, h - 2 * margin);
    const cv::Point2d centre0(w / 2, h / 2);
    if (angleRange_ > 0) {
        discRadius_ = std::min({centre0.x - core0.x, core0.br().x - 1 - centre0.x,
                                centre0.y - core0.y, core0.br().y - 1 - centre0.y});
    }
    const double coreSide =
        angleRange_ > 0 ? 2.0 * discRadius_ + 1 : std::min(core0.width, core0.height);
    if (coreSide < lim::kShapeMinCoreSide) {
        qWarning("FindShape: model %dx%d is too small", w, h);
        return false;
    }

    cv::Mat levelModel = model.clone(), levelMask = userMask;
    for (int level = 0; level < lim::kShapeMaxLevels; ++level) {
        const double scale = 1.0 / (1 << level);
        if (level > 0) {
            if (coreSide * scale < lim::kShapeMinTopCoreSide) break;
            cv::pyrDown(levelModel, levelModel);
            if (!levelMask.empty()) {
                cv::resize(levelMask, levelMask, levelModel.size(), 0, 0, cv::INTER_NEAREST);
            }
        }
        Level lv;
        lv.model = levelModel;
        lv.modelMask = levelMask;
        lv.centre = centre0 * scale;
        const cv::Rect bounds(0, 0, levelModel.cols, levelModel.rows);
        double radius;
        if (angleRange_ > 0) {
            radius = discRadius_ * scale;
            const int x0 = static_cast<int>(std::floor(lv.centre.x - radius));
            const int y0 = static_cast<int>(std::floor(lv.centre.y - radius));
            const int x1 = static_cast<int>(std::ceil(lv.centre.x + radius));
            const int y1 = static_cast<int>(std::ceil(lv.centre.y + radius));
            lv.core = cv::Rect(x0, y0, x1 - x0 + 1, y1 - y0 + 1) & bounds;
            lv.coreMask = cv::Mat::zeros(lv.core.size(), CV_8UC1);
            const cv::Point2d c = lv.centre - cv::Point2d(lv.core.tl());
            for (int yy = 0; yy < lv.core.height; ++yy) {
                uchar* row = lv.coreMask.ptr<uchar>(yy);
                for (int xx = 0; xx < lv.core.width; ++xx) {
                    const double dx = xx - c.x, dy = yy - c.y;
                    if (dx * dx + dy * dy <= radius * radius) row[xx] = 255;
                }
            }
        } else {
            const int x0 = static_cast<int>(std::ceil(core0.x * scale));
            const int y0 = static_cast<int>(std::ceil(core0.y * scale));
            const int x1 = static_cast<int>(std::floor((core0.br().x - 1) * scale));
            const int y1 = static_cast<int>(std::floor((core0.br().y - 1) * scale));
            lv.core = cv::Rect(x0, y0, x1 - x0 + 1, y1 - y0 + 1) & bounds;
            lv.coreMask = cv::Mat(lv.core.size(), CV_8UC1, cv::Scalar(255));
            radius = 0.5 * std::hypot(lv.core.width, lv.core.height);
        }
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
        }
        lv.sum = cv::sum(lv.maskedCore)[0];
        lv.variance = lv.maskedCore.dot(lv.maskedCore) - lv.sum * lv.sum / lv.count;
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
    };

    if (angleRange_ == 0) {
        TurnedModel m;
        cv::Mat maskF;
        if (lv.fullMask)
            maskF = cv::Mat(lv.core.size(), CV_32F, cv::Scalar(1));
        else
            lv.coreMask.convertTo(maskF, CV_32F, 1.0 / 255);
        finish(m, lv.model(lv.core), maskF);
        m.mask = maskF;
        m.centre = lv.centre - cv::Point2d(lv.core.tl());
        if (lv.fullMask) m.image8 = lv.model(lv.core);
        top.models.push_back(std::move(m));
        return top;
    }

    const double radius = discRadius_ / (1 << level);
    const int half = static_cast<int>(std::ceil(radius));
    const int side = 2 * half + 1;
    top.disc = cv::Mat::zeros(side, side, CV_32F);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            if ((x - half) * (x - half) + (y - half) * (y - half) <= radius * radius)
                top.disc.at<float>(y, x) = 1.0f;

    std::vector<double> angles;
    if (angleRange_ >= 180) {
        const int n = static_cast<int>(std::ceil(360.0 / lv.angleStep));
        for (int i = 0; i < n; ++i) angles.push_back(-180.0 + i * 360.0 / n);
    } else {
        const int n = static_cast<int>(std::ceil(angleRange_ / lv.angleStep));
        for (int i = -n; i <= n; ++i) angles.push_back(static_cast<double>(angleRange_) * i / n);
    }
    for (double a : angles) {
        cv::Mat rotation = cv::getRotationMatrix2D(lv.centre, a, 1.0);
        rotation.at<double>(0, 2) += half - lv.centre.x;
        rotation.at<double>(1, 2) += half - lv.centre.y;
        cv::Mat turned;
        cv::warpAffine(lv.model, turned, rotation, cv::Size(side, side), cv::INTER_LINEAR,
                       cv::BORDER_REPLICATE);
        TurnedModel m;
        m.angle = a;
        m.centre = cv::Point2d(half, half);
        cv::Mat maskF = top.disc;
        if (!lv.modelMask.empty()) {
            cv::Mat turnedMask;
            cv::warpAffine(lv.modelMask, turnedMask, rotation, cv::Size(side, side),
                           cv::INTER_NEAREST, cv::BORDER_CONSTANT, cv::Scalar(0));
            turnedMask.convertTo(m.mask, CV_32F, 1.0 / 255);
            m.mask = m.mask.mul(top.disc);
            maskF = m.mask;
        }
        finish(m, turned, maskF);
        top.models.push_back(std::move(m));
    }
    return top;
}

std::vector<FindShape::Pose> FindShape::searchTop(const cv::Mat& search8,
                                                  const TopModels& top) const {
    const Level& lv = levels_[top.level];
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

    cv::Mat discSum, discSumSq;
    std::vector<Pose> poses;
    const int suppress = std::max(2, std::min(lv.core.width, lv.core.height) / 4);
    for (const TurnedModel& m : top.models) {
        cv::Mat score;
        if (!m.image8.empty()) {
            cv::matchTemplate(padded8, m.image8, score, cv::TM_CCOEFF_NORMED);
        } else {
            cv::Mat num, sum, sumSq;
            cv::matchTemplate(s, m.weighted, num, cv::TM_CCORR);
            if (m.mask.empty()) {
                if (discSum.empty()) {
                    cv::matchTemplate(s, top.disc, discSum, cv::TM_CCORR);
                    cv::matchTemplate(sq, top.disc, discSumSq, cv::TM_CCORR);
                }
                sum = discSum;
                sumSq = discSumSq;
            } else {
                cv::matchTemplate(s, m.mask, sum, cv::TM_CCORR);
                cv::matchTemplate(sq, m.mask, sumSq, cv::TM_CCORR);
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
        const int peaks = angleRange_ == 0 ? lim::kShapeCandidates : 1;
        for (int k = 0; k < peaks; ++k) {
            double best;
            cv::Point at;
            cv::minMaxLoc(score, nullptr, &best, nullptr, &at);
            if (best <= 0.0) break;
            Pose p;
            p.position = cv::Point2d(at) + m.centre - cv::Point2d(padX, padY);
            p.angle = m.angle;
            p.score = best;
            poses.push_back(p);
            if (k + 1 < peaks) {
                cv::Rect around(at.x - suppress, at.y - suppress, 2 * suppress + 1,
                                2 * suppress + 1);
                score(around & cv::Rect(0, 0, score.cols, score.rows)).setTo(-1.0);
            }
        }
    }

    std::stable_sort(poses.begin(), poses.end(),
                     [](const Pose& a, const Pose& b) { return a.score > b.score; });
    std::vector<Pose> kept;
    for (const Pose& p : poses) {
        const bool duplicate = std::any_of(kept.begin(), kept.end(), [&](const Pose& k) {
            return cv::norm(k.position - p.position) < suppress &&
                   angleDistance(k.angle, p.angle) < 3.0 * lv.angleStep;
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
    cv::Mat integralSum, integralSq;
    if (lv.fullMask) cv::integral(window, integralSum, integralSq, CV_64F, CV_64F);
    cv::Mat masked;
    double best = -1.0;
    for (int v = -r; v <= r; ++v) {
        for (int u = -r; u <= r; ++u) {
            const cv::Rect at(r + u, r + v, lv.core.width, lv.core.height);
            const cv::Mat s = window(at);
            double sum, sumSq;
            if (lv.fullMask) {
                const auto box = [&](const cv::Mat& ii) {
                    return ii.at<double>(at.y, at.x) - ii.at<double>(at.y, at.x + at.width) -
                           ii.at<double>(at.y + at.height, at.x) +
                           ii.at<double>(at.y + at.height, at.x + at.width);
                };
                sum = box(integralSum);
                sumSq = box(integralSq);
            } else {
                cv::bitwise_and(s, lv.coreMask, masked);
                sum = cv::sum(masked)[0];
                sumSq = masked.dot(masked);
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

FindShape::Pose FindShape::refine(const cv::Mat& search, int level, const Pose& start,
                                  int r) const {
    const Level& lv = levels_[level];
    const int n = 2 * r + 1;
    const cv::Size windowSize(lv.core.width + 2 * r, lv.core.height + 2 * r);
    const cv::Point2d windowOrigin = cv::Point2d(lv.core.tl()) - cv::Point2d(r, r) - lv.centre;

    std::vector<double> angles{start.angle};
    if (angleRange_ > 0)
        angles = {start.angle - lv.angleStep, start.angle, start.angle + lv.angleStep};

    struct Trial {
        double best = -2.0;
        int index = 0;
        std::vector<double> scores;
        cv::Point2d position;
    };
    std::vector<Trial> trials(angles.size());
    for (size_t i = 0; i < angles.size(); ++i) {
        Trial& t = trials[i];
        cv::Mat window;
        if (angleRange_ == 0) {
            // Translation only: whole-pixel placements of the model's top-left corner.
            const cv::Point topLeft(static_cast<int>(std::lround(start.position.x - lv.centre.x)),
                                    static_cast<int>(std::lround(start.position.y - lv.centre.y)));
            t.position = cv::Point2d(topLeft) + lv.centre;
            window = cropWithZeros(search,
                                   cv::Rect(topLeft + lv.core.tl() - cv::Point(r, r), windowSize));
        } else {
            // Sample the search picture in model orientation around the hypothesis.
            t.position = start.position;
            const double c = std::cos(radians(angles[i])), s = std::sin(radians(angles[i]));
            const cv::Point2d offset = turn(windowOrigin, angles[i]);
            const cv::Matx23d map(c, s, start.position.x + offset.x, -s, c,
                                  start.position.y + offset.y);
            cv::warpAffine(search, window, cv::Mat(map), windowSize,
                           cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_CONSTANT,
                           cv::Scalar(0));
        }
        t.best = correlateAt(window, lv, r, t.scores);
        t.index =
            static_cast<int>(std::max_element(t.scores.begin(), t.scores.end()) - t.scores.begin());
    }

    size_t bestTrial = 0;
    for (size_t i = 1; i < trials.size(); ++i)
        if (trials[i].best > trials[bestTrial].best) bestTrial = i;
    const Trial& t = trials[bestTrial];
    const int bu = t.index % n - r, bv = t.index / n - r;
    cv::Point2d offset(bu, bv);
    if (angleRange_ > 0) {
        const auto at = [&](int u, int v) { return t.scores[(v + r) * n + (u + r)]; };
        if (bu > -r && bu < r) offset.x += parabolaPeak(at(bu - 1, bv), at(bu, bv), at(bu + 1, bv));
        if (bv > -r && bv < r) offset.y += parabolaPeak(at(bu, bv - 1), at(bu, bv), at(bu, bv + 1));
    }

    Pose result;
    result.score = t.best;
    result.angle = angles[bestTrial];
    result.position = t.position + turn(offset, result.angle);
    if (angleRange_ > 0 && bestTrial == 1) {
        result.angle += lv.angleStep * parabolaPeak(trials[0].best, trials[1].best, trials[2].best);
    }
    return result;
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

    const auto byScore = [](const Pose& a, const Pose& b) { return a.score > b.score; };
    if (top == 0) {
        poses.resize(1);
        if (angleRange_ > 0) poses[0] = refine(pyramid[0], 0, poses[0], 1);
    }
    for (int level = top - 1; level >= 0; --level) {
        if (level == 0) poses.resize(1);  // the full resolution only confirms the best
        const int radius = level == top - 1 ? 2 : 1;
        for (Pose& p : poses) {
            Pose start = p;
            start.position *= 2.0;
            p = refine(pyramid[level], level, start, radius);
        }
        std::stable_sort(poses.begin(), poses.end(), byScore);
    }

    const Pose& best = poses.front();
    if (best.score < minScore_) return false;
    if (x) *x = ref_.x - static_cast<int>(std::lround(best.position.x));
    if (y) *y = ref_.y - static_cast<int>(std::lround(best.position.y));
    if (score) *score = 100.0 * best.score;
    if (angle) *angle = wrapAngle(-best.angle);
    return true;
}
