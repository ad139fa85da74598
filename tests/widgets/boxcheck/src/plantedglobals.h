// The sample's own boxes, as the program keeps its shared ones: pointers declared here and
// used in other files.
#pragma once
#include "plantedbox.h"

class QFile;

extern PlantedBox* gpPlantedBox;
extern QFile* gpPlantedLog;
