// Placeholder until the stand-in engine lands: every operation is refused.
#include "standin/standin_engine.h"

extern "C" uint16_t STANDIN_CALL StandInEngineCall(uint16_t, void*, void*, uint32_t*, void*,
                                                   uint8_t, int8_t) {
  return 1;
}
