// The save road: the edit list written to a new file, annotations drawn in.
#include "FrmMain.h"

void TFrmMain::SaveAvi(const QString& path) {
    // Nothing is written until the save road joins the window.
    (void)path;
}
