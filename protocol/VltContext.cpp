#include "protocol/VltContext.h"
