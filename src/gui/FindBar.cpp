#include "gui/FindBar.h"
