#pragma once

// The builder lives in the shared test-support library; this name stays includable.
#include "../support/ClassFileBuilder.h"
