#include "app/frmMain.h"

void frmMain::mnuHelp_Click() {}
void frmMain::mnuAbout_Click() {}
