#pragma once

#include "platform/Exceptions.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <vector>

class QLabel;
class QTimer;

// An animated cursor file that cannot be shown.
class EInvalidAni : public Exception {
public:
    EInvalidAni() : Exception(QStringLiteral("Invalid ani file")) {}
};

// Plays an animated cursor file in an image label: the options window's preview of a layer pointer.
// Create, LoadFromFile, then SetImage to start (and again to go on after Stop).
class TAniCursor : public QObject {
    Q_OBJECT
public:
    explicit TAniCursor(QObject* parent = nullptr);
    ~TAniCursor() override;

    // Reads the file's steps, rates, sequence and pictures; an empty name loads nothing. Throws
    // EInvalidAni, EFOpenError or EReadError, and then leaves the object empty, as after an empty name.
    void LoadFromFile(const QString& fileName);
    // Shows the animation in image, from the current step, when something is loaded.
    void SetImage(QLabel* image);
    void Stop();
    // The timer's event: shows the current step's picture for the step's own rate, then moves on.
    void Tick();

    const QString& FileName() const { return FFileName; }
    int32_t StepCount() const { return FStepCount; }
    int32_t DefaultRate() const { return FDefaultRate; }
    const std::vector<int32_t>& Rates() const { return FRates; }
    const std::vector<int32_t>& Seq() const { return FSeq; }
    // One 32 x 32 picture per step (the file's picture Seq[i]), transparent where the cursor is.
    const std::vector<QImage>& Frames() const { return FFrames; }
    int32_t CurrentStep() const { return FCurrentStep; }
    // The timer's interval in milliseconds, and whether it is running.
    int Interval() const;
    bool Animating() const;

private:
    void Clear();
    // A rate of 0 gives an interval of 0: the animation rests on the frame shown.
    void Arm(int intervalMs);

    QString FFileName;
    QTimer* AnimTimer;
    std::vector<int32_t> FRates;
    std::vector<int32_t> FSeq;
    int32_t FCurrentStep = 0;
    QPointer<QLabel> TargetImage;
    std::vector<QImage> FFrames;
    int32_t FStepCount = 0;
    int32_t FDefaultRate = 0;
};
