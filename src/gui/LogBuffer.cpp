#include "gui/LogBuffer.h"
