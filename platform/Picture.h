#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class Canvas;

// One decoded picture of any registered kind, drawn at its natural size.
class TGraphic {
public:
    virtual ~TGraphic() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    bool Empty() const { return Width() <= 0 || Height() <= 0; }

    // Each kind has its own rule: a bitmap leaves out the colour of its bottom-left pixel (white for a
    // monochrome one); pictures with an alpha channel, a transparent colour index or a mask keep their
    // own and ignore the switch.
    virtual void SetTransparent(bool on) { IsTransparent = on; }
    bool Transparent() const { return IsTransparent; }

    // Top-left corner at (x, y) on canvas.Image(), honouring Transparent(), clipped to the image and to
    // canvas.ClipRegion when that is not empty. The canvas pixels keep alpha 0xFF.
    virtual void Draw(Canvas& canvas, int x, int y) const = 0;
    // The picture for previews and list icons: Format_ARGB32, fully transparent wherever Draw would
    // leave the canvas as it is, so the preview shows its own background there.
    virtual QImage ToImage() const = 0;

protected:
    bool IsTransparent = false;
};

// The decoder behind one file extension. It throws EInvalidGraphic for data it rejects and
// EStreamError (EFOpenError, EReadError) when the file cannot be opened or ends too soon. It never
// returns null.
using TGraphicLoader = std::function<std::unique_ptr<TGraphic>(const QString& fileName)>;

// A picture loaded through the registry of file formats, which picks the decoder by the file's
// extension, ignoring letter case. The standard formats ("bmp", "ico", "jpg", "jpeg", "gif", "png")
// register themselves on first use of the registry.
class TPicture {
public:
    // Adds a format, or replaces the decoder of an extension already registered ("cur", "ani" come
    // from the cursor-file layer). The extension is given without its dot.
    static void RegisterFileFormat(const QString& extension, const QString& description,
                                   TGraphicLoader loader);
    static bool IsRegistered(const QString& extension);
    // Empty for an extension that is not registered.
    static QString Description(const QString& extension);
    // Every registered extension, without dots, in the order of registration.
    static QStringList Extensions();

    // Throws EInvalidGraphic with "Unknown picture file extension (.%s)" (the extension as the name
    // spells it) when no decoder is registered, and passes on the decoder's errors. On failure the
    // picture keeps what it held.
    void LoadFromFile(const QString& fileName);

    TGraphic* Graphic() const { return Content.get(); }
    std::unique_ptr<TGraphic> Release() { return std::move(Content); }

private:
    std::unique_ptr<TGraphic> Content;
};

// Loads a picture as an image stamp does: through the registry, and when that fails with a stream
// error, as a plain bitmap file ("Invalid image file" when it is none; an error opening the file
// passes on). Never returns null.
std::unique_ptr<TGraphic> LoadStampPicture(const QString& fileName);
