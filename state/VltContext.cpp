#include "state/VltContext.h"
