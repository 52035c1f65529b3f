// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures at the window's device pixel ratio. ctest runs the window tests once
// at scale 1 and once with QT_SCALE_FACTOR=2, where these checks tell a crisp
// picture from one scaled up from 32 pixels.

#include "window/windowfixture.h"

#include "app/images.h"

#include <QGuiApplication>
#include <QLabel>

namespace zarvoni::testing {
namespace {

constexpr int kPictureSize = 32;

class Scale : public WindowTest {
protected:
    void SetUp() override { create(); }

    // The pixmap holds one pixel per device pixel of a 32 x 32 picture.
    static void expectCrisp(const QPixmap &pixmap, qreal ratio) {
        EXPECT_DOUBLE_EQ(pixmap.devicePixelRatio(), ratio);
        EXPECT_EQ(pixmap.deviceIndependentSize(), QSizeF(kPictureSize, kPictureSize));
        EXPECT_EQ(pixmap.size(), QSize(kPictureSize, kPictureSize) * ratio);
    }
};

TEST_F(Scale, WindowRunsAtTheScaleFactorOfItsEnvironment) {
    const qreal asked = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                            ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                            : 1.0;
    EXPECT_DOUBLE_EQ(window->devicePixelRatioF(), asked);
}

TEST_F(Scale, StopwatchPictureIsRenderedAtTheDevicePixelRatio) {
    const auto *image = find<QLabel>("Image1");
    expectCrisp(image->pixmap(), window->devicePixelRatioF());
    EXPECT_EQ(image->size(), QSize(kPictureSize, kPictureSize));
}

TEST_F(Scale, PointersAreRenderedAtTheDevicePixelRatio) {
    const qreal ratio = window->devicePixelRatioF();
    expectCrisp(window->centralWidget()->cursor().pixmap(), ratio);
    expectCrisp(nextButton()->cursor().pixmap(), ratio);
    expectCrisp(find("lblMessage")->cursor().pixmap(), ratio);
    EXPECT_EQ(window->centralWidget()->cursor().hotSpot(),
              cursorHotSpot({4, 4}, ratio, QGuiApplication::platformName()));
    EXPECT_EQ(nextButton()->cursor().hotSpot(),
              cursorHotSpot({16, 16}, ratio, QGuiApplication::platformName()));
}

struct HotSpotRow {
    QPoint given;
    qreal ratio;
    const char16_t *platform;
    QPoint expected;
};

class CursorHotSpot : public ::testing::TestWithParam<HotSpotRow> {};

TEST_P(CursorHotSpot, IsInThePixelsThePlatformReads) {
    const HotSpotRow &row = GetParam();
    EXPECT_EQ(cursorHotSpot(row.given, row.ratio, row.platform), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Platforms, CursorHotSpot,
                         ::testing::Values(HotSpotRow{{4, 4}, 1.0, u"xcb", {4, 4}},
                                           HotSpotRow{{4, 4}, 2.0, u"xcb", {8, 8}},
                                           HotSpotRow{{16, 16}, 2.0, u"xcb", {32, 32}},
                                           HotSpotRow{{4, 4}, 1.5, u"xcb", {6, 6}},
                                           HotSpotRow{{4, 4}, 2.0, u"offscreen", {4, 4}},
                                           HotSpotRow{{16, 16}, 2.0, u"wayland", {16, 16}}));

} // namespace
} // namespace zarvoni::testing
