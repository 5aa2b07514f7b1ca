// The menu folder is below the subsystems: reaching up must not build.
#include "cloud/CloudState.h"
