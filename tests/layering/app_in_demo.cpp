// The programs beside the application do not reach into it: the demo lays out
// a sandbox and starts stand-ins, and knows nothing of AppDelegate.
#include "app/AppDelegate.h"
