#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <memory>

// Reads rectangles of the screen from the root window over a connection of its own, so it may live on
// the recording thread. One grabber serves one thread at a time.
class X11ScreenGrabber {
public:
    enum class Method {
        // The shared-memory extension, reusing one segment from grab to grab; the plain request when
        // the server does not offer it (a remote display) or refuses the segment.
        Fastest,
        // The plain GetImage request only, which copies every pixel through the socket.
        PlainRequest,
    };

    // An empty display name means $DISPLAY.
    explicit X11ScreenGrabber(const QByteArray& displayName = {}, Method method = Method::Fastest);
    ~X11ScreenGrabber();
    X11ScreenGrabber(const X11ScreenGrabber&) = delete;
    X11ScreenGrabber& operator=(const X11ScreenGrabber&) = delete;

    // Connected to a screen whose pixels this grabber can read: a true-colour root window of 16, 24 or
    // 32 bits per pixel. Grab returns no image otherwise.
    bool IsOpen() const;
    bool UsesSharedMemory() const;
    // The root window as it is now (its size follows resolution changes); empty when not open.
    QRect RootRect() const;

    // The part of rect (root-window pixels) that lies on the root window, as a Format_RGB32 image
    // whose offset() is that part's top-left corner on the root window. A null image when no part of
    // rect is on the root window or the read failed: never a black stand-in. A picture of an earlier
    // grab given as reuse, held by nobody else, lends its memory when its size fits: a grab ten times a
    // second into fresh memory costs a page fault for every 4 KiB of each frame.
    QImage Grab(const QRect& rect, QImage reuse = {});
    // As Grab, but where the pixels come through shared memory as 0x00RRGGBB words with no row padding
    // (a true-colour screen of 24 or 32 bits), the image is the shared segment itself, not a copy: it
    // holds until the next grab, and its pad bytes are what the server left there (not 0xFF). A
    // caller that copies the pixels out anyway, as the recorder does, saves a pass over every pixel.
    QImage GrabInPlace(const QRect& rect);

    struct Impl;

private:
    QImage GrabPart(const QRect& rect, QImage reuse, bool inPlace);

    std::unique_ptr<Impl> D;
};
