#include "uDatabase.h"
