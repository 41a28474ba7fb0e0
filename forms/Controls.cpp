#include "forms/Controls.h"
