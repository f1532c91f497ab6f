#include "tst_Pictures.h"
