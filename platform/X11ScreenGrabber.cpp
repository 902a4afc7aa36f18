#include "X11ScreenGrabber.h"

#include "OpaquePixels.h"
#include "X11Connection.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <bit>
#include <cstring>
#include <sys/ipc.h>
#include <sys/shm.h>

namespace {

// How the server stores one pixel of the root window.
struct PixelLayout {
    int BitsPerPixel = 0;
    unsigned long RedMask = 0, GreenMask = 0, BlueMask = 0;

    // The common case: 0x00RRGGBB words, one per pixel, which copy row by row.
    bool IsXRGB32(const XImage* image) const {
        return image->bits_per_pixel == 32 && RedMask == 0xFF0000 && GreenMask == 0xFF00 &&
               BlueMask == 0xFF &&
               image->byte_order == (std::endian::native == std::endian::little ? LSBFirst : MSBFirst);
    }
};

int BitsPerPixelOfDepth(Display* dpy, int depth) {
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(dpy, &count);
    int bits = 0;
    for (int i = 0; i < count; ++i)
        if (formats[i].depth == depth) bits = formats[i].bits_per_pixel;
    if (formats) XFree(formats);
    return bits;
}

// A channel of a pixel value spread to 0..255, rounded to the nearest, so that a full channel of any
// width reads as 255.
uint32_t Channel(unsigned long value, unsigned long mask) {
    if (!mask) return 0;
    const int shift = std::countr_zero(mask);
    const unsigned long max = mask >> shift;
    return static_cast<uint32_t>((((value & mask) >> shift) * 255 + max / 2) / max);
}

unsigned long ReadPixel(const uchar* p, int bytes, bool msbFirst) {
    unsigned long v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= static_cast<unsigned long>(p[msbFirst ? i : bytes - 1 - i]) << (8 * (bytes - 1 - i));
    return v;
}

// Into reuse when that is a picture of the same size that nobody else holds.
QImage ToQImage(const XImage* image, const PixelLayout& layout, QImage&& reuse) {
    QImage out;
    if (reuse.width() == image->width && reuse.height() == image->height &&
        reuse.format() == QImage::Format_RGB32 && reuse.isDetached())
        out = std::move(reuse);
    else
        out = QImage(image->width, image->height, QImage::Format_RGB32);
    if (out.isNull()) return out;
    const auto* src = reinterpret_cast<const uchar*>(image->data);
    if (layout.IsXRGB32(image)) {
        const size_t width = static_cast<size_t>(image->width);
        // Rows without padding on both sides, the usual case, go in one run.
        if (static_cast<size_t>(image->bytes_per_line) == width * 4 &&
            out.bytesPerLine() == image->bytes_per_line) {
            CopyOpaque(reinterpret_cast<const uint32_t*>(src), reinterpret_cast<uint32_t*>(out.bits()),
                       width * static_cast<size_t>(image->height));
            return out;
        }
        for (int y = 0; y < image->height; ++y)
            CopyOpaque(
                reinterpret_cast<const uint32_t*>(src + static_cast<size_t>(y) * image->bytes_per_line),
                reinterpret_cast<uint32_t*>(out.scanLine(y)), width);
        return out;
    }
    const int bytes = image->bits_per_pixel / 8;
    const bool msbFirst = image->byte_order == MSBFirst;
    for (int y = 0; y < image->height; ++y) {
        const uchar* in = src + static_cast<size_t>(y) * image->bytes_per_line;
        auto* row = reinterpret_cast<uint32_t*>(out.scanLine(y));
        for (int x = 0; x < image->width; ++x, in += bytes) {
            const unsigned long v = ReadPixel(in, bytes, msbFirst);
            row[x] = 0xFF000000u | Channel(v, layout.RedMask) << 16 | Channel(v, layout.GreenMask) << 8 |
                     Channel(v, layout.BlueMask);
        }
    }
    return out;
}

} // namespace

struct X11ScreenGrabber::Impl {
    X11Connection Conn;
    Window Root = 0;
    Visual* Vis = nullptr;
    int Depth = 0;
    PixelLayout Layout;
    bool Supported = false;

    bool UseShm = false;
    XShmSegmentInfo Shm{};
    size_t ShmSize = 0;
    bool ShmAttached = false;
    // The image header for the size of the previous grab; its pixels are the segment.
    XImage* ShmImage = nullptr;

    explicit Impl(const QByteArray& name) : Conn(name) {}

    ~Impl() {
        DropShmImage();
        DetachSegment();
    }

    void Open(Method method) {
        if (!Conn.IsOpen()) return;
        Display* dpy = Conn.Display();
        const int screen = DefaultScreen(dpy);
        Root = RootWindow(dpy, screen);
        Vis = DefaultVisual(dpy, screen);
        Depth = DefaultDepth(dpy, screen);
        Layout.BitsPerPixel = BitsPerPixelOfDepth(dpy, Depth);
        Layout.RedMask = Vis->red_mask;
        Layout.GreenMask = Vis->green_mask;
        Layout.BlueMask = Vis->blue_mask;
        // Palette screens (8 bits and below) would need the colour map on every grab; nobody runs
        // one today, so they are reported as unsupported rather than read wrongly.
        const int bpp = Layout.BitsPerPixel;
        Supported = Vis->c_class == TrueColor && (bpp == 16 || bpp == 24 || bpp == 32);
        UseShm = Supported && method == Method::Fastest && XShmQueryExtension(dpy);
    }

    QRect CurrentRootRect() {
        if (!Conn.IsOpen()) return {};
        Window root;
        int x, y;
        unsigned int w, h, border, depth;
        if (!XGetGeometry(Conn.Display(), Root, &root, &x, &y, &w, &h, &border, &depth)) return {};
        return QRect(0, 0, static_cast<int>(w), static_cast<int>(h));
    }

    void DropShmImage() {
        if (!ShmImage) return;
        ShmImage->data = nullptr; // the segment is not the header's to free
        XDestroyImage(ShmImage);
        ShmImage = nullptr;
    }

    void DetachSegment() {
        if (ShmAttached && Conn.IsOpen()) {
            XShmDetach(Conn.Display(), &Shm);
            XSync(Conn.Display(), False);
            Conn.TakeError();
        }
        ShmAttached = false;
        if (Shm.shmaddr && Shm.shmaddr != reinterpret_cast<char*>(-1)) shmdt(Shm.shmaddr);
        Shm = {};
        ShmSize = 0;
    }

    // A segment of at least size bytes that the server has attached; false when the server refuses
    // shared memory, which then is not tried again.
    bool EnsureSegment(size_t size) {
        if (ShmAttached && ShmSize >= size) return true;
        DetachSegment();
        Shm.shmid = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
        if (Shm.shmid < 0) return false;
        Shm.shmaddr = static_cast<char*>(shmat(Shm.shmid, nullptr, 0));
        Shm.readOnly = False;
        bool attached = false;
        if (Shm.shmaddr != reinterpret_cast<char*>(-1)) {
            XShmAttach(Conn.Display(), &Shm);
            attached = Conn.Check();
        }
        // Marked for removal at once: the segment then vanishes with its last user, even after a crash.
        shmctl(Shm.shmid, IPC_RMID, nullptr);
        ShmAttached = attached;
        if (!attached) {
            DetachSegment();
            return false;
        }
        ShmSize = size;
        return true;
    }

    enum class Outcome { Image, Failed, NoSharedMemory };

    Outcome GrabShared(const QRect& part, QImage& result, QImage&& reuse, bool inPlace) {
        Display* dpy = Conn.Display();
        if (!ShmImage || ShmImage->width != part.width() || ShmImage->height != part.height()) {
            DropShmImage();
            ShmImage =
                XShmCreateImage(dpy, Vis, static_cast<unsigned>(Depth), ZPixmap, nullptr, &Shm,
                                static_cast<unsigned>(part.width()), static_cast<unsigned>(part.height()));
            if (!ShmImage) return Outcome::NoSharedMemory;
        }
        if (!EnsureSegment(static_cast<size_t>(ShmImage->bytes_per_line) * ShmImage->height)) {
            DropShmImage();
            return Outcome::NoSharedMemory;
        }
        ShmImage->data = Shm.shmaddr;
        const bool ok = XShmGetImage(dpy, Root, ShmImage, part.x(), part.y(), AllPlanes);
        if (Conn.TakeError() != 0 || !ok || !Conn.IsOpen()) return Outcome::Failed;
        if (inPlace && Layout.IsXRGB32(ShmImage) && ShmImage->bytes_per_line == ShmImage->width * 4) {
            result = QImage(reinterpret_cast<uchar*>(Shm.shmaddr), ShmImage->width, ShmImage->height,
                            ShmImage->bytes_per_line, QImage::Format_RGB32);
            return result.isNull() ? Outcome::Failed : Outcome::Image;
        }
        result = ToQImage(ShmImage, Layout, std::move(reuse));
        return result.isNull() ? Outcome::Failed : Outcome::Image;
    }

    QImage GrabPlain(const QRect& part, QImage&& reuse) {
        XImage* image =
            XGetImage(Conn.Display(), Root, part.x(), part.y(), static_cast<unsigned>(part.width()),
                      static_cast<unsigned>(part.height()), AllPlanes, ZPixmap);
        const int error = Conn.TakeError();
        if (!image) return {};
        QImage result = error == 0 && Conn.IsOpen() ? ToQImage(image, Layout, std::move(reuse)) : QImage();
        XDestroyImage(image);
        return result;
    }
};

X11ScreenGrabber::X11ScreenGrabber(const QByteArray& displayName, Method method)
    : D(std::make_unique<Impl>(displayName)) {
    D->Open(method);
}

X11ScreenGrabber::~X11ScreenGrabber() = default;

bool X11ScreenGrabber::IsOpen() const {
    return D->Conn.IsOpen() && D->Supported;
}

bool X11ScreenGrabber::UsesSharedMemory() const {
    return IsOpen() && D->UseShm;
}

QRect X11ScreenGrabber::RootRect() const {
    return IsOpen() ? D->CurrentRootRect() : QRect();
}

QImage X11ScreenGrabber::Grab(const QRect& rect, QImage reuse) {
    return GrabPart(rect, std::move(reuse), false);
}

QImage X11ScreenGrabber::GrabInPlace(const QRect& rect) {
    return GrabPart(rect, QImage(), true);
}

QImage X11ScreenGrabber::GrabPart(const QRect& rect, QImage reuse, bool inPlace) {
    if (!IsOpen()) return {};
    // Asked each time: the root window changes size with the screen resolution, and a request that
    // reaches past its edge fails as a whole.
    const QRect part = rect.intersected(D->CurrentRootRect());
    if (part.isEmpty()) return {};
    QImage result;
    if (D->UseShm) {
        switch (D->GrabShared(part, result, std::move(reuse), inPlace)) {
        case Impl::Outcome::Image:
            break;
        case Impl::Outcome::Failed:
            return {};
        case Impl::Outcome::NoSharedMemory:
            D->UseShm = false;
            result = D->GrabPlain(part, std::move(reuse));
            break;
        }
    } else {
        result = D->GrabPlain(part, std::move(reuse));
    }
    if (!result.isNull()) result.setOffset(part.topLeft());
    return result;
}
