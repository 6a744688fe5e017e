#include "link/CPDrv.h"
