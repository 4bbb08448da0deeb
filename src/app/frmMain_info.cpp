#include "app/frmMain.h"
#include "info/frmAbout.h"
#include "info/frmhelp.h"

// Help: the single Quick Help window, modeless and without an owner.
void frmMain::mnuHelp_Click() { frmhelp::showSingle(); }

// About: the single About window, modeless and without an owner; it takes
// this window's icon when it loads.
void frmMain::mnuAbout_Click() { frmAbout::showSingle(this); }
