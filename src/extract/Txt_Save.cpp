#include "app/frmMain.h"

void frmMain::Txt_Save() {}
