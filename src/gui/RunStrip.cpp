#include "gui/RunStrip.h"
