#include "uGalaxy.h"
