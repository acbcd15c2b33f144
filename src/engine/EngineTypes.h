#pragma once

// Every record that crosses the line to the engine.
#include "EngineTypesDownload.h"
#include "EngineTypesLibrary.h"
#include "EngineTypesSession.h"
