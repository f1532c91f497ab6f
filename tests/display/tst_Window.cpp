#include "tst_Window.h"
