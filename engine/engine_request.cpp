#include "engine/engine_request.h"

EngineRequestBlock EngineRequest;
unsigned char DataBuffer[kDataBufferSize];
