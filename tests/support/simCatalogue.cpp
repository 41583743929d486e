#include "simCatalogue.h"

#include "class_sensorCmd.h"
#include "fingerParams.h"

namespace simCatalogue {
namespace {

int commandLength(uint8_t code)
{
    return class_sensorCmd::getStr(code).isEmpty() ? -1 : class_sensorCmd::getRspLen(code);
}

}  // namespace

void install()
{
    sim::useCatalogue(&findFingerParam, &commandLength);
}

bool modelOf(uint8_t prg, sim::SensorModel* model)
{
    const finger_param_ts* p = findFingerParam(prg);
    if (p && model)
        *model = sim::modelFromRecord(*p);
    return p != nullptr;
}

}  // namespace simCatalogue
