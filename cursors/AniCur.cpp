#include "AniCur.h"

#include "AniFile.h"

#include <QLabel>
#include <QPixmap>
#include <QTimer>

TAniCursor::TAniCursor(QObject* parent) : QObject(parent), AnimTimer(new QTimer(this)) {
    AnimTimer->setSingleShot(true); // every tick sets the next interval and starts the timer again
    connect(AnimTimer, &QTimer::timeout, this, &TAniCursor::Tick);
}

TAniCursor::~TAniCursor() {
    Stop();
}

void TAniCursor::Clear() {
    FFileName.clear();
    FRates.clear();
    FSeq.clear();
    FFrames.clear();
    FStepCount = 0;
    FDefaultRate = 0;
    FCurrentStep = 0;
    AnimTimer->setInterval(0);
}

void TAniCursor::LoadFromFile(const QString& fileName) {
    Stop();
    Clear();
    if (fileName.isEmpty()) return;

    TAniFile ani = ReadAniFile(fileName); // on failure the object stays empty
    FFileName = fileName;
    FStepCount = ani.StepCount;
    FDefaultRate = ani.DefaultRate;
    FRates = std::move(ani.Rates);
    FSeq = std::move(ani.Seq);
    // Steps that show the same picture share its pixels.
    std::vector<QImage> pictures;
    pictures.reserve(ani.Icons.size());
    for (const TCursorFrame& icon : ani.Icons)
        pictures.push_back(icon.Preview());
    FFrames.reserve(FSeq.size());
    for (int32_t index : FSeq)
        FFrames.push_back(pictures[index]);
    FCurrentStep = 0;
    AnimTimer->setInterval(RateToInterval(FRates[0]));
}

void TAniCursor::SetImage(QLabel* image) {
    TargetImage = image;
    if (!FFrames.empty()) Tick();
}

void TAniCursor::Stop() {
    AnimTimer->stop();
}

void TAniCursor::Tick() {
    if (FFrames.empty()) return;
    if (TargetImage) TargetImage->setPixmap(QPixmap::fromImage(FFrames[FCurrentStep]));
    const int interval = RateToInterval(FRates[FCurrentStep]);
    FCurrentStep = (FCurrentStep + 1) % FStepCount;
    Arm(interval);
}

void TAniCursor::Arm(int intervalMs) {
    AnimTimer->setInterval(intervalMs);
    // A Qt timer of interval 0 would fire without pause.
    if (intervalMs > 0)
        AnimTimer->start();
    else
        AnimTimer->stop();
}

int TAniCursor::Interval() const {
    return AnimTimer->interval();
}

bool TAniCursor::Animating() const {
    return AnimTimer->isActive();
}
