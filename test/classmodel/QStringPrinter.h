#pragma once

// The printer lives in the shared test-support library; this name stays includable.
#include "../support/QStringPrinter.h"
