#include "avi/AviReader.h"

#include "platform/AviChunkIndex.h"
#include "platform/AviErrors.h"
#include "platform/AviFrameDecoder.h"

#include <QFile>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A stream whose rate says nothing plays at ten frames a second.
constexpr int DefaultFrameDelay = 100;

int FrameDelayOf(std::uint32_t scale, std::uint32_t rate) {
    if (rate == 0 || scale == 0) return DefaultFrameDelay;
    const double delay = double(scale) / double(rate) * 1000.0;
    return delay >= double(INT_MAX) ? INT_MAX : int(delay); // truncated toward zero
}

[[noreturn]] void RaiseOpenError(AviResult result) {
    throw EAviException(AviOpenMessage(result));
}

} // namespace

struct TAVIFile::TImpl {
    int Fd = -1;
    TAviFrameDecoder Decoder;
    QImage FrameBitmap;
    QString FileName;
    bool Opened = false;
    int FrameDelay = 0;
    std::uint32_t FrameCount = 0;
    int Width = 0;
    int Height = 0;
    std::uint32_t RateNumerator = 0;
    std::uint32_t RateDenominator = 1;
    // The file as Open found it, to tell when another program has changed or replaced it.
    struct stat Identity {};

    void Close() {
        Decoder.Close();
        if (Fd >= 0) ::close(Fd);
        Fd = -1;
        Opened = false;
        FrameDelay = 0;
        FrameCount = 0;
        Width = Height = 0;
        RateNumerator = 0;
        RateDenominator = 1;
        Identity = {};
        FrameBitmap = QImage();
    }
};

TAVIFile::TAVIFile() : Impl(std::make_unique<TImpl>()) {}

TAVIFile::~TAVIFile() {
    Close();
}

void TAVIFile::Open(const QString& fileName) {
    Close();
    Impl->FileName = fileName;
    const QByteArray path = QFile::encodeName(fileName);
    if (path.isEmpty()) RaiseOpenError(AVIERR_FILEOPEN);
    // Without blocking: a FIFO named as the file would otherwise wait for a writer for ever.
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) RaiseOpenError(AviReadResult(-errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        RaiseOpenError(AVIERR_BADFORMAT);
    }
    Impl->Fd = fd;
    Impl->Identity = st;

    TAviStreamLayout layout;
    TAviFileBytes bytes(fd);
    AviResult result = ReadAviStreamLayout(bytes, layout);
    const std::uint32_t scale = layout.Scale, rate = layout.Rate;
    if (!result) result = Impl->Decoder.Open(fd, std::move(layout));
    if (result) {
        Impl->Close();
        RaiseOpenError(result);
    }
    Impl->FrameDelay = FrameDelayOf(scale, rate);
    // The rate the delay stands for, so that a copy plays as the reader shows it.
    const bool rated = rate != 0 && scale != 0;
    Impl->RateNumerator = rated ? rate : 1000 / DefaultFrameDelay;
    Impl->RateDenominator = rated ? scale : 1;
    Impl->FrameCount = Impl->Decoder.FrameCount();
    Impl->Width = Impl->Decoder.Width();
    Impl->Height = Impl->Decoder.Height();
    Impl->Opened = true;
}

void TAVIFile::Close() {
    Impl->Close();
}

QImage* TAVIFile::GetFrame(int index) {
    if (!Impl->Opened || index < 0 || std::uint32_t(index) >= Impl->FrameCount) return nullptr;
    if (!Impl->Decoder.Decode(std::uint32_t(index), Impl->FrameBitmap)) return nullptr;
    return &Impl->FrameBitmap;
}

int TAVIFile::FrameDelay() const {
    return Impl->FrameDelay;
}

std::uint32_t TAVIFile::FrameCount() const {
    return Impl->FrameCount;
}

int TAVIFile::Width() const {
    return Impl->Width;
}

int TAVIFile::Height() const {
    return Impl->Height;
}

std::uint32_t TAVIFile::RateNumerator() const {
    return Impl->RateNumerator;
}

std::uint32_t TAVIFile::RateDenominator() const {
    return Impl->RateDenominator;
}

bool TAVIFile::Opened() const {
    return Impl->Opened;
}

const QString& TAVIFile::FileName() const {
    return Impl->FileName;
}

TAviSourceState TAVIFile::SourceState() const {
    if (Impl->Fd < 0) return TAviSourceState::Unchanged;
    const struct stat& was = Impl->Identity;
    struct stat now {};
    if (::fstat(Impl->Fd, &now) != 0 || now.st_size != was.st_size ||
        now.st_mtim.tv_sec != was.st_mtim.tv_sec || now.st_mtim.tv_nsec != was.st_mtim.tv_nsec)
        return TAviSourceState::Changed;
    // A name that leads nowhere any more holds nobody's file.
    struct stat named {};
    if (::stat(QFile::encodeName(Impl->FileName).constData(), &named) == 0 &&
        (named.st_dev != was.st_dev || named.st_ino != was.st_ino))
        return TAviSourceState::Replaced;
    return TAviSourceState::Unchanged;
}
