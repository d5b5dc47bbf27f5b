#pragma once

// The log capture and the logger set-up live in the shared test-support library; this name stays
// includable.
#include "LogCapture.h"
