#include "host/scripts.h"
#include "host/window.h"
