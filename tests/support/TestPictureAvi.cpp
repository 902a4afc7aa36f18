#include "TestPictureAvi.h"

#include <QProcess>

bool WriteTestPictureAvi(const QString& file, int frames) {
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg",
                 {"-v", "error", "-y", "-nostdin", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=10",
                  "-frames:v", QString::number(frames), "-c:v", "rawvideo", "-pix_fmt", "bgr24", file});
    return ffmpeg.waitForFinished(120000) && ffmpeg.exitStatus() == QProcess::NormalExit &&
           ffmpeg.exitCode() == 0;
}
