#include "app/frmMain.h"

void frmMain::pics_extract() {}
