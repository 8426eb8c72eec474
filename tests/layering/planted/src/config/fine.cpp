// A configuration file that includes only what lies below it.
#include "platform/ini2.h"
#include "lumora/lumora.h"
