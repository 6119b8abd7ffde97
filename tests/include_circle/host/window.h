#pragma once
#include "host/page.h"
