#pragma once

#include <QString>

// The user's pictures folder (the XDG one), or empty when there is none: the default save folder of
// both programs.
QString GetMyPicturesFolder();
// The system's temporary folder: $TMPDIR when that names an existing folder, else /tmp. Every file
// and lock the programs keep for a while outside the user's folders goes here.
QString GetTempFolder();
// The folder of the running executable, with a trailing "/".
QString ProgramFolder();
