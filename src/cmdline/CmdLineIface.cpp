#include "CmdLineIface.h"

CmdLineIface::~CmdLineIface() = default;
