#pragma once

// Registers the types that statistics signals carry across threads ("CountGroup" and the
// export's date pair). Called once by the start-up sequence.
void registerStatisticsMetaTypes();
