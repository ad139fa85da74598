// Painting of the camera view: the picture of the source on show, the result overlays, the
// regions with their labels, the status line with counters and countdown, and the shape being
// drawn. Painting never changes inspection data; it writes only the view's display buffer.

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QObject>
#include <QPainter>
#include <QPen>
#include <QRegularExpression>
#include <QTransform>
#include <algorithm>
#include <cmath>

#include "cammersingleton.h"
#include "cammerwidget.h"
#include "fittedfont.h"
#include "toolkitlimits.h"
#include "viewrules.h"
#include "viewtexts.h"
#include "wizardpara.h"

using namespace cameraview;

namespace {

const QRgb kFailedPixel = qRgb(0xff, 0x00, 0x00);
const QRgb kMarkedPixel = qRgb(0x00, 0xff, 0xff);
const QString kDoubleClickToEnd = QStringLiteral("双击结束");

bool validDetection(int d) {
    return d >= 0 && d < kMaxDetections;
}

int regionCount(const CammerSingleton& p, int d) {
    return std::clamp(p.roiCount[d], 0, roi::kMaxRois);
}

int detectMode() {
    return gpWPara ? gpWPara->detectMode : 0;
}

GlobalLimits globalLimits() {
    GlobalLimits g;
    if (!gpWPara) return g;
    g.showAllParam = gpWPara->showAllParam != 0;
    g.filterSize = gpWPara->filterSize;
    g.alarmArea = gpWPara->alarmArea;
    return g;
}

QColor toneColor(StatusTone tone) {
    switch (tone) {
        case StatusTone::Red:
            return Qt::red;
        case StatusTone::Cyan:
            return Qt::cyan;
        default:
            return Qt::green;
    }
}

// Fills the placeholders the text has, in order; values beyond them are left out.
QString fillPresentArgs(QString text, const QStringList& values) {
    static const QRegularExpression placeholder(QStringLiteral("%[1-9]"));
    for (const QString& v : values) {
        if (!text.contains(placeholder)) break;
        text = text.arg(v);
    }
    return text;
}

// A rectangle given by its inclusive corners.
QRect corners(int x1, int y1, int x2, int y2) {
    return QRect(QPoint(x1, y1), QPoint(x2, y2));
}

void drawCentred(QPainter& painter, QPointF centre, const QString& text) {
    const QFontMetrics metrics(painter.font());
    const QRectF box(centre.x() - metrics.horizontalAdvance(text) / 2.0 - 2,
                     centre.y() - metrics.height() / 2.0, metrics.horizontalAdvance(text) + 4,
                     metrics.height());
    painter.drawText(box, Qt::AlignCenter, text);
}

}  // namespace

QFont CammerWidget::panelFont(int pixelSize) const {
    QFont font(fontFamily_.isEmpty() ? QGuiApplication::font().family() : fontFamily_);
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Normal);
    return font;
}

void CammerWidget::applyZoom(QPainter& painter, const ViewHostState& host) {
    painter.translate(host.zoomX, host.zoomY);
    painter.scale(host.zoomScale, host.zoomScale);
}

void CammerWidget::convertShownFrame() {
    if (frameBytes <= 0 || showBuf.size() != size_t(frameBytes) ||
        displayBuf.size() != size_t(pixelCount) * kDisplayBytesPerPixel)
        return;
    frameToDisplay(showBuf.data(), frameFormat(), displayBuf.data());
}

void CammerWidget::drawPicture(QPainter& painter) {
    if (displayImage.isNull()) return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRect(0, 0, width(), height()), displayImage);
}

void CammerWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(panelFont(kStatusFontPx));
    const ViewHostState host = hostState();
    if (gSource == kSourceOkRecords || gSource == kSourceNgRecords) {
        paintRecords(painter, host);
        return;
    }
    if (gSource == kSourceRecentNg) {
        paintRecentNg(painter, host);
        return;
    }
    if (cameraNo >= numCamera) return;
    paintDetection(painter, host);
}

// --- stored OK/NG pictures -------------------------------------------------------------------

void CammerWidget::paintRecords(QPainter& painter, const ViewHostState& host) {
    const bool okRecords = gSource == kSourceOkRecords;
    const QString kind = lan(okRecords ? kEntryOkRecords : kEntryNgRecords);
    painter.setFont(panelFont(kRecordFontPx));
    painter.setPen(Qt::green);
    const RecordPicture shown = hooks_.recordPicture ? hooks_.recordPicture() : RecordPicture{};
    if (shown.count > 0) {
        painter.save();
        applyZoom(painter, host);
        painter.drawImage(QRect(0, 0, width(), height()), shown.image);
        painter.restore();
    }
    const QString name = detectionName(detectMode(), host.editDetect);
    if (gLan == 3) {
        const QStringList values = {
            QString::number(shown.camera + 1), name,     kind, QString::number(shown.count),
            QString::number(shown.index + 1),  QString()};
        painter.drawText(5, 40, fillPresentArgs(lan(kEntryRecordTitle), values));
        painter.drawText(655, 85, shown.name);
        return;
    }
    painter.drawText(5, 40, lan(kEntryRecordTitle).arg(shown.camera + 1).arg(name));
    painter.drawText(705, 40,
                     QObject::tr("%1图片数 %2 / %3")
                         .arg(okRecords ? QStringLiteral("OK") : QStringLiteral("NG"))
                         .arg(shown.index + 1)
                         .arg(shown.count));
    painter.drawText(1205, 40, shown.name);
}

// --- recent NG frames ------------------------------------------------------------------------

void CammerWidget::paintRecentNg(QPainter& painter, const ViewHostState& host) {
    convertShownFrame();
    painter.save();
    applyZoom(painter, host);
    drawPicture(painter);
    painter.restore();
    const int d = host.editDetect;
    const QString name = detectionName(detectMode(), d);
    const StatusWord status = recentNgStatus(host.detectState);
    painter.setFont(panelFont(kStatusFontPx));
    painter.setPen(toneColor(status.tone));
    painter.drawText(5, 40, lan(kEntryStatusLine).arg(cameraNo + 1).arg(name).arg(status.text));
    painter.setPen(Qt::green);
    const int stored = validDetection(d) ? std::min(recentNgCount[d], kRecentNgFrames) : 0;
    painter.drawText(700, 40, lan(kEntryRecentNg).arg(name).arg(recentNgShown + 1).arg(stored));
}

// --- live picture, templates ------------------------------------------------------------------

void CammerWidget::paintDetection(QPainter& painter, const ViewHostState& host) {
    const bool onTemplate = gSource == kSourceTemplate;
    const int d = onTemplate ? host.editDetect : host.curDetect;
    const CammerSingleton* p = onTemplate ? editParam : liveParam;
    if (!validDetection(d)) return;

    convertShownFrame();
    const bool magnified = cameraNo == host.curCamera;
    painter.save();
    if (magnified) applyZoom(painter, host);
    if (p) paintOverlayPixels(host, d, *p);
    drawPicture(painter);
    const OverlayChoice overlays =
        overlayChoice(host.resultState, gSource, gpWPara && gpWPara->realTimeShowROI != 0);
    if (overlays.mark) paintMark(painter);
    QString selectedText;
    if (overlays.regions && p) {
        // The status lines are drawn over the picture; the labels of areas near its top edge
        // must not lie under them (a selected area's label is on the status line itself).
        const QTransform statusScale = QTransform::fromScale(winScaleW, winScaleH);
        QVector<QRectF> taken;
        for (const StatusText& t : statusTexts(host, d, QString())) {
            const QFontMetrics metrics(panelFont(t.pixelSize));
            taken << statusScale.mapRect(QRectF(metrics.boundingRect(t.text).translated(t.at)));
        }
        selectedText = paintRegions(painter, host, d, *p, taken);
    }
    painter.restore();

    painter.save();
    painter.scale(winScaleW, winScaleH);
    paintStatus(painter, host, d, selectedText);
    painter.restore();

    painter.save();
    if (magnified) applyZoom(painter, host);
    paintNewShape(painter, host);
    painter.restore();
}

void CammerWidget::paintOverlayPixels(const ViewHostState& host, int d, const CammerSingleton& p) {
    if (displayBuf.size() != size_t(pixelCount) * kDisplayBytesPerPixel || pixelCount <= 0) return;
    uchar* display = displayBuf.data();
    const int count = regionCount(p, d);
    const bool resultMaskReady = context.resultMask.size() == size_t(pixelCount);
    const bool liveAlarm = host.resultState == kResultNgAlarm && gSource == kSourceLive;

    if (liveAlarm && alarmBlink == kBlinkOn && resultMaskReady) {
        for (int i = 0; i < count; ++i) {
            if (context.roiOK[d][i]) continue;
            markPixels(display, imageW, imageH, p.roiImageRect(d, i), context.resultMask.data(),
                       kFailedPixel);
        }
    }
    const bool showIgnorePoints =
        gSource == kSourceTemplate || (liveAlarm && alarmBlink == kBlinkIgnorePoints);
    if (showIgnorePoints && context.ignoreMask[d].size() == size_t(pixelCount)) {
        for (int i = 0; i < count; ++i)
            markPixels(display, imageW, imageH, p.roiImageRect(d, i), context.ignoreMask[d].data(),
                       kMarkedPixel);
    }
    if (context.testShown && selectedRoi >= 0 && selectedRoi < count && resultMaskReady) {
        markPixels(display, imageW, imageH, p.roiImageRect(d, selectedRoi),
                   context.resultMask.data(), kMarkedPixel);
    }
}

void CammerWidget::paintMark(QPainter& painter) {
    painter.save();
    painter.setFont(panelFont(kMarkFontPx));
    painter.scale(winScaleW, winScaleH);
    painter.setPen(isOK ? Qt::green : Qt::red);
    painter.drawText(5, 200, isOK ? QStringLiteral("OK") : QStringLiteral("NG"));
    painter.restore();
}

void CammerWidget::paintLegend(QPainter& painter) {
    const int h = height() - 1;
    const bool showValues = !(gpWPara && gpWPara->showAllParam);
    const GlobalLimits limits = globalLimits();
    const Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
    const QString filterText = QStringLiteral("%1 :").arg(lan(kEntryFilterSize));
    const QString areaText = QStringLiteral("%1 :").arg(lan(kEntryArea));
    const QRect filterBox = corners(10, h - 89, 159, h - 60);
    painter.save();
    // Both captions in one size, small enough for the longer of them in the space left of the
    // colour squares.
    const QString longer = painter.fontMetrics().horizontalAdvance(filterText) >=
                                   painter.fontMetrics().horizontalAdvance(areaText)
                               ? filterText
                               : areaText;
    painter.setFont(
        fittedFont(painter.font(), longer, filterBox.width(), toolkit::kMinFittedFontPx));
    painter.setPen(Qt::blue);
    painter.drawText(filterBox, align, filterText);
    painter.fillRect(corners(160, h - 89, 189, h - 60), Qt::blue);
    if (showValues)
        painter.drawText(corners(205, h - 89, 354, h - 60), align,
                         QString::number(limits.filterSize));
    const QColor areaColor(QString::fromLatin1(kAreaHintColor));
    painter.setPen(areaColor);
    painter.drawText(corners(10, h - 44, 159, h - 15), align, areaText);
    painter.fillRect(corners(160, h - 44, 189, h - 15), areaColor);
    if (showValues)
        painter.drawText(corners(205, h - 44, 354, h - 15), align,
                         QString::number(limits.alarmArea));
    painter.restore();
}

void CammerWidget::paintSizeHints(QPainter& painter, int d, int i, const CammerSingleton& p,
                                  const ViewHostState& host) {
    const QRect r = p.roiImageRect(d, i);
    const int cx = (r.left() + r.right()) / 2;
    const int cy = (r.top() + r.bottom()) / 2;
    const int quarter = (r.right() - r.left()) / 4;
    const int func = p.roiFunc[d][i];
    int filterSide = 0;
    int areaSide = 0;
    const GlobalLimits limits = globalLimits();
    const auto sideOfArea = [](int area) { return area > 0 ? int(std::sqrt(double(area))) : 0; };
    if (!limits.showAllParam) {
        filterSide = limits.filterSize;
        areaSide = sideOfArea(limits.alarmArea);
    } else if (func == roi::kFuncDefect) {
        filterSide = p.roiParam3[d][i];
        areaSide = sideOfArea(p.roiParam2[d][i]);
    } else if (func == roi::kFuncBrightCount || func == roi::kFuncDarkCount) {
        filterSide = 2 * p.roiParam3[d][i] + 1;
    }
    painter.save();
    painter.setBrush(Qt::NoBrush);
    if (filterSide > 0) {
        const QPointF c((cx - quarter) * showScaleX, cy * showScaleY);
        painter.setPen(Qt::blue);
        painter.drawRect(
            QRectF(c.x() - filterSide / 2.0, c.y() - filterSide / 2.0, filterSide, filterSide));
    }
    if (areaSide > 0) {
        const QPointF c((cx + quarter) * showScaleX, cy * showScaleY);
        painter.setPen(QColor(QString::fromLatin1(kAreaHintColor)));
        painter.drawRect(
            QRectF(c.x() - areaSide / 2.0, c.y() - areaSide / 2.0, areaSide, areaSide));
    }
    const bool continuous = gpWPara && gpWPara->continuousArea;
    const bool areaTool = host.drawTool == kToolRect || host.drawTool == kToolCircle ||
                          (host.drawTool == kToolPolygon && host.freehandDraw);
    if (continuous && selectedRoi != -1 && areaTool) {
        painter.setPen(Qt::green);
        drawCentred(painter, QPointF(cx * showScaleX, cy * showScaleY), kDoubleClickToEnd);
    }
    painter.restore();
}

QString CammerWidget::paintRegions(QPainter& painter, const ViewHostState& host, int d,
                                   const CammerSingleton& p, const QVector<QRectF>& taken) {
    const bool onTemplate = gSource == kSourceTemplate;
    painter.setFont(panelFont(kRoiFontPx));
    if (host.resultState == kResultWaiting) painter.setPen(Qt::darkBlue);
    if (onTemplate) paintLegend(painter);

    const GlobalLimits limits = globalLimits();
    const int count = regionCount(p, d);
    const bool anySelected = selectedRoi != -1;
    QString selectedText;
    for (int i = 0; i < count; ++i) {
        const int func = p.roiFunc[d][i];
        if (func == roi::kFuncPosition && !onTemplate) continue;
        if (onTemplate && (!anySelected || i == selectedRoi))
            paintSizeHints(painter, d, i, p, host);
        if (onTemplate && anySelected && i != selectedRoi && moveAllMode != 2) continue;

        painter.save();
        painter.scale(winScaleW, winScaleH);
        QColor color;
        if (func == roi::kFuncIgnore)
            color = Qt::yellow;
        else if (host.resultState == kResultWaiting)
            color = Qt::darkBlue;
        else if (!isOK && !context.roiOK[d][i])
            color = Qt::red;
        else
            color = Qt::green;
        painter.setPen(color);
        painter.setBrush(Qt::NoBrush);

        QPoint anchor;
        const int shape = p.roiShapeType[d][i];
        if (shape == roi::kShapeRect) {
            p.rects[d][i].Draw(painter);
            anchor = p.rects[d][i].showRect.topLeft();
        } else if (shape == roi::kShapeRing) {
            p.circles[d][i].Draw(painter);
            anchor = p.circles[d][i].showRect.topLeft();
        } else {
            const RePolygon& polygon = p.polygons[d][i];
            polygon.Draw(painter);
            if (polygon.count > 0) anchor = polygon.points[0];
            if (onTemplate && i == selectedRoi && dragPoint >= 0 && dragPoint < polygon.count &&
                dragPoint < roi::kMaxPolygonPoints) {
                const QPoint q = polygon.points[dragPoint];
                painter.save();
                painter.setPen(QPen(Qt::cyan, 2));
                painter.drawEllipse(corners(q.x() - 5, q.y() - 5, q.x() + 4, q.y() + 4));
                painter.restore();
            }
        }

        const RegionNumbers numbers{func, p.roiParam1[d][i], p.roiParam2[d][i], p.roiParam3[d][i]};
        const int value = context.roiValue[d][i];
        const int x = anchor.x();
        const int y = anchor.y();
        const Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
        // Above the area's first corner; inside the area where a status text lies above it.
        const auto place = [&](int gap, const QString& label) {
            const QRect above = corners(x, y - gap - 24, x + 399, y - gap);
            const QFontMetrics metrics = painter.fontMetrics();
            const QRectF text(x, above.center().y() - metrics.height() / 2.0,
                              metrics.horizontalAdvance(label), metrics.height());
            const QRectF onWidget = painter.transform().mapRect(text);
            const auto covers = [&](const QRectF& r) { return r.intersects(onWidget); };
            if (std::none_of(taken.begin(), taken.end(), covers)) return above;
            return corners(x + 5, y + gap, x + 404, y + gap + 24);
        };
        if (onTemplate) {
            const QString label = regionLabel(i, regionParamText(numbers, limits), value, count);
            if (anySelected)
                selectedText = label;
            else
                painter.drawText(place(5, label), align, label);
        } else {
            const QString label = regionLabel(i, regionLimitText(numbers, limits), value, count);
            painter.drawText(place(2, label), align, label);
        }
        painter.restore();
    }
    return selectedText;
}

QVector<CammerWidget::StatusText> CammerWidget::statusTexts(const ViewHostState& host, int d,
                                                            const QString& selectedText) const {
    const bool onTemplate = gSource == kSourceTemplate;
    const StatusWord status =
        liveStatus(reTrainPending[d] != 0, host.detectState, host.cycleState, gisTempAlarm);
    QVector<StatusText> texts;
    texts.append({QPoint(5, 40), kStatusFontPx, toneColor(status.tone),
                  lan(kEntryStatusLine)
                      .arg(cameraNo + 1)
                      .arg(detectionName(detectMode(), d))
                      .arg(status.text)});

    const int steps = std::clamp(gDNum, 0, kMaxDetections);
    for (int k = 0; k < steps; ++k) {
        if (!host.stepTimerActive[k]) continue;
        const QString left = countdownText(host.trigDelayLeft[k]);
        if (!left.isEmpty())
            texts.append({QPoint(5, 90), kCountdownFontPx, toneColor(status.tone), left});
        break;
    }

    // Under the NG mark, which it explains.
    if ((frameLostWithLink || frameNotDelivered) && !onTemplate)
        texts.append({QPoint(5, 250), kStatusFontPx, Qt::red,
                      lan(frameLostWithLink ? kEntryFrameLostWithLink : kEntryFrameNotDelivered)
                          .arg(cameraNo + 1)});

    if (onTemplate) {
        texts.append({QPoint(850, 40), kStatusFontPx, Qt::green,
                      lan(kEntryTemplates)
                          .arg(context.curTemplate + 1)
                          .arg(context.templateCount[d])
                          .arg(selectedText)});
        texts.append({QPoint(5, 80), kStatusFontPx, Qt::green, gTempTime});
    } else if (cameraNo >= 0 && cameraNo < kMaxCameras) {
        texts.append({QPoint(750, 40), kStatusFontPx, Qt::green,
                      lan(kEntryCounters)
                          .arg(gFailCycleNum[cameraNo])
                          .arg(gAllCycleNum[cameraNo])
                          .arg(fps)});
    }
    // The view takes no picture while its camera is away; the loss's box goes once confirmed,
    // this line only with the camera's return. Under the counters: the help button covers the
    // left edge below the mark.
    if (!isConnected)
        texts.append(
            {QPoint(750, 90), kStatusFontPx, Qt::red, lan(kEntryCameraAway).arg(cameraNo + 1)});
    return texts;
}

void CammerWidget::paintStatus(QPainter& painter, const ViewHostState& host, int d,
                               const QString& selectedText) {
    for (const StatusText& t : statusTexts(host, d, selectedText)) {
        painter.setFont(panelFont(t.pixelSize));
        painter.setPen(t.colour);
        painter.drawText(t.at, t.text);
    }
}

void CammerWidget::paintNewShape(QPainter& painter, const ViewHostState& host) {
    if (editState != kEditDrawing) return;
    QPen pen(Qt::green);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    if (host.drawTool == kToolPolygon) {
        pen.setWidth(2);
        painter.setPen(pen);
        const int n = std::min(pointCount, int(pointBuf.size()));
        if (n <= 0) return;
        if (gpWPara && gpWPara->continuousArea) {
            if (n > 2 && !host.freehandDraw)
                drawCentred(painter, QPointF(getPointsCenter()), kDoubleClickToEnd);
            pen.setColor(Qt::magenta);
            painter.setPen(pen);
        }
        painter.drawPolygon(pointBuf.data(), n, Qt::OddEvenFill);
        const QPoint first = pointBuf[0];
        painter.setPen(QPen(Qt::cyan, 2));
        painter.drawEllipse(corners(first.x() - 5, first.y() - 5, first.x() + 4, first.y() + 4));
    } else if (host.drawTool == kToolCircle) {
        tempCircle.Draw(painter);
    } else if (host.drawTool == kToolRect) {
        tempRect.Draw(painter);
    }
}
