#include "app/frmMain.h"

void frmMain::GRPH_Save() {}
