// Binds the stand-in engine that is linked into the program.
#include "engine/engine_binding.h"
#include "standin/standin_engine.h"

EngineEntryPoint EngineEntry = StandInEngineCall;

int BindEngine() {
  return 0;
}
