// A platform file that reaches up into the scanner layer.
#include "scanner/scanner_state.h"
#include "platform/log.h"
