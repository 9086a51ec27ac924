#include "uSchema.h"
