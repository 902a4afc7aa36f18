#pragma once

#include <QString>

// The user's pictures folder (the XDG one), or empty when there is none: the default save folder of
// both programs.
QString GetMyPicturesFolder();
// The system's temporary folder.
QString GetTempFolder();
// The folder of the running executable, with a trailing "/".
QString ProgramFolder();
