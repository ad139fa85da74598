// The resample command on the main window with simulated cameras: which cameras are trained
// again from their next frames, with their ignore points and region results cleared.
#include <gtest/gtest.h>

#include <QSqlQuery>
#include <QVariant>
#include <algorithm>

#include "cammerwidget.h"
#include "cyclefakes.h"
#include "deraRazovi.h"
#include "dialogseam.h"
#include "globals.h"
#include "testsupport.h"
#include "windowrig.h"
#include "wizardpara.h"

using cycletest::WindowRig;

TEST(Resample, EveryCameraOrOnlyTheOneShown) {
    struct Row {
        const char* name;
        bool separately;  // camSampleSeparately
        int shown;        // the camera shown alone, -1 all tiled
        std::vector<bool> sampled;
        int recordedCamera;  // the camera the record names, 0 for all
    };
    const Row rows[] = {
        {"all tiled", true, -1, {true, true}, 0},
        {"camera 2 shown, sampled separately", true, 1, {false, true}, 2},
        {"camera 2 shown, sampled together", false, 1, {true, true}, 0},
    };
    for (const Row& row : rows) {
        testsupport::recorder().clear();
        WindowRig rig(
            2,
            [&](WizardPara& p) {
                cycletest::setOptions(p, "detectMode=0 detectProdEnable");
                p.camSampleSeparately = row.separately ? 1 : 0;
            },
            testsupport::recorder());
        ASSERT_TRUE(rig.ok()) << rig.error().toStdString();
        DeRaRazovi& m = rig.window();
        ASSERT_EQ(numCamera, 2);
        for (int c = 0; c < 2; ++c) {
            CammerWidget* view = m.cammerWidgets[c];
            view->isOK = false;
            view->context.roiOK[1][0] = 0;
            std::fill(view->context.ignoreMask[1].begin(), view->context.ignoreMask[1].end(), 1);
        }
        m.curCamera = row.shown < 0 ? numCamera : row.shown;
        m.loginLevel = 1;
        dialogs::ScopedAnswerer yes({}, QDialog::Accepted);
        m.SlotReTrain();

        for (int c = 0; c < 2; ++c) {
            const CammerWidget* view = m.cammerWidgets[c];
            const bool sampled = row.sampled[size_t(c)];
            const auto& mask = view->context.ignoreMask[1];
            EXPECT_EQ(view->isOK, sampled) << row.name << " camera " << c;
            EXPECT_EQ(view->reTrainPending[0] && view->reTrainPending[1], sampled)
                << row.name << " camera " << c;
            EXPECT_EQ(view->context.roiOK[1][0], sampled ? 1 : 0) << row.name << " camera " << c;
            EXPECT_EQ(!mask.empty() &&
                          std::all_of(mask.begin(), mask.end(), [](uchar v) { return v == 0; }),
                      sampled)
                << row.name << " camera " << c;
        }
        EXPECT_EQ(m.trigKind, 1) << row.name;
        QSqlQuery query(QStringLiteral("SELECT remarks FROM RECORD"), m.recordDb);
        QStringList records;
        while (query.next()) records << query.value(0).toString();
        // The camera order is stored afterwards, with records of its own.
        const QString expected =
            (row.recordedCamera ? lan(586).arg(row.recordedCamera) : lan(585)) + lan(139);
        EXPECT_EQ(records.filter(lan(139)), QStringList{expected}) << row.name;
    }
}
