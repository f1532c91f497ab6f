#include "tst_PictureBox.h"
