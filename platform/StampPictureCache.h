#pragma once

#include "Picture.h"

#include <QString>
#include <memory>

// The picture of an image stamp as LoadStampPicture gives it, decoded once and kept while its file
// stays the same. A stamp is drawn at every repaint, and decoding it each time would repeat the whole
// cost of its file at every paint; a file that changed (another size, modification time or file)
// shows its new picture at the next draw. Only pictures that loaded are kept: a file that fails is
// tried again, and its error passes on as LoadStampPicture throws it. Safe to call from any thread.
std::shared_ptr<const TGraphic> CachedStampPicture(const QString& fileName, bool transparent);

// Forgets every kept picture.
void ClearStampPictureCache();
