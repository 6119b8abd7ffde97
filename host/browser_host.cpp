#include "host/browser_host.h"

BrowserHostState BrowserHost;
