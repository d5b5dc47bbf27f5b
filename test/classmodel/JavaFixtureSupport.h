#pragma once

// The fixture helpers live in the shared test-support library; this name stays includable.
#include "../support/JavaFixtureSupport.h"
