#pragma once
#include <QMetaType>

// The result of one inspected region; a field the region's function does not set is -1.
struct param_roi {
    int camera = -1;
    int detect = -1;
    int roi_id = -1;
    int algorithm_type = -1;
    int algorithm_result = -1;
    int algorithm_sensitivity = -1;  // lower limit
    int algorithm_areaMin = -1;      // upper limit
    int algorithm_param = -1;
    int is_alarm = -1;  // the camera's OK flag after this region's decision
};
Q_DECLARE_METATYPE(param_roi)
