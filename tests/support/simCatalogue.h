#pragma once
// The simulator's model source in tests: the sensor type catalogue and the command catalogue.

#include "simBus.h"

#include <cstdint>

namespace simCatalogue {

// Registers both catalogues with the simulator (idempotent).
void install();
// The simulator's model of a catalogued type; false when the type code has no record.
bool modelOf(uint8_t prg, sim::SensorModel* model);

}  // namespace simCatalogue
