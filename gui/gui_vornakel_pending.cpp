// Main window slots whose bodies are still to come. Each section moves out of
// this file when its part of the window is written.
#include "gui/gui_vornakel.h"

// Not yet built
