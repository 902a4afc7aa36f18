#include "tray/First.h"
#include "tray/TrayIcons.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QScreen>
#include <gtest/gtest.h>

TEST(FirstForm, HotKeyTextsStandWhereThePlaceholdersWere) {
    TFirstFrm form("Shift+Alt+A", "Shift+Ctrl+Y");
    EXPECT_EQ(form.windowTitle(), "Tavelin 3.0");
    EXPECT_EQ(form.Message(), "To activate it, use the hotkeys Shift+Alt+A \r\nto annotate the screen or "
                              "Shift+Ctrl+Y \r\nto capture the movement sequence \r\nas an AVI file or right "
                              "click the icon \r\nto open its context menu");
    EXPECT_FALSE(form.findChild<QLabel*>("Label2")->text().contains('\r'));
    EXPECT_FALSE(form.DontShowAgain());
    form.findChild<QCheckBox*>("CheckBox1")->setChecked(true);
    EXPECT_TRUE(form.DontShowAgain());
}

TEST(FirstForm, OpensExactlyInTheMiddleOfTheScreen) {
    TFirstFrm form("Shift+Ctrl+W", "Shift+Ctrl+Y");
    form.show();
    QApplication::processEvents();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(form.frameGeometry().topLeft(),
              QPoint(screen.x() + (screen.width() - 388) / 2, screen.y() + (screen.height() - 240) / 2));
}

TEST(TrayIcons, CaptureIconsDifferAndUnknownNamesAreEmpty) {
    const QImage pause = TrayIconResource("IconPause").pixmap(32, 32).toImage();
    const QImage stop = TrayIconResource("IconStop").pixmap(32, 32).toImage();
    const QImage blue = TrayIconResource("IconStopBl").pixmap(32, 32).toImage();
    EXPECT_EQ(stop.size(), QSize(32, 32));
    EXPECT_NE(pause, stop);
    EXPECT_EQ(QColor(stop.pixel(16, 16)).red(), 0xD0);
    EXPECT_EQ(QColor(blue.pixel(16, 16)).blue(), 0xD0);
    EXPECT_EQ(qAlpha(TrayIconResource("NoSuchIcon").pixmap(32, 32).toImage().pixel(16, 16)), 0);
}
