#pragma once

// The look that the renderer's own figures share (response, poles, metrics and the scales of
// plot --labels; never the window's picture itself): one font, text sizes, line widths, margins,
// marker sizes and palette, kept here and nowhere else.
//
// The figures are 1200 to 1340 pixels wide and meant to go on a slide as they are, shrunk to half
// or two thirds of its width. Their smallest text is 20 px, a sixtieth of the width: shown on two
// thirds of a 1920-pixel slide it stays about 20 px high, and printed 17 cm wide about 8 points.
// Titles are 24 px. The font is DejaVu Sans (Debian's fonts-dejavu-core, a dependency of the
// package), named explicitly so that no machine substitutes another: it has every glyph the
// figures write (the minus sign, ×, σ, ω, π, ±).
#include <QFont>
#include <QPointF>
#include <QRgb>
#include <QString>

class QPainter;

namespace vorn {

inline constexpr const char* kFigureFontFamily = "DejaVu Sans";
inline constexpr int kFigureTextPx = 20; // scale labels, axis titles, legends, notes
inline constexpr int kFigureTitlePx = 24; // a figure's title

inline constexpr int kFigureMargin = 20; // around everything, and between title and legend
inline constexpr double kFigureTraceWidth = 3; // the curves
inline constexpr double kFigureLineWidth = 1.5; // marks, reference lines and circles, arrows
inline constexpr double kFigureTick = 6; // tick marks outside a frame
inline constexpr double kFigureMarker = 9; // half the width of a pole's ×, a zero's ○ radius
inline constexpr double kFigureDot = 6; // the radius of a marked point
inline constexpr double kFigureSampleDot = 4; // the radius of a simulated sample

inline constexpr QRgb kFigureSimulated = qRgb(200, 30, 30);
inline constexpr QRgb kFigureAnalogue = qRgb(20, 90, 200);
inline constexpr QRgb kFigurePole = kFigureSimulated;
inline constexpr QRgb kFigureZero = kFigureAnalogue;
inline constexpr QRgb kFigureGrid = qRgb(222, 222, 222);
inline constexpr QRgb kFigureAxis = qRgb(170, 170, 170); // the axes through 0 of a plane
inline constexpr QRgb kFigureFrame = qRgb(110, 110, 110);
inline constexpr QRgb kFigureCircle = qRgb(150, 150, 150); // reference circles
inline constexpr QRgb kFigureNote = qRgb(60, 60, 60); // reference lines and their notes
inline constexpr QRgb kFigureBand = qRgb(222, 236, 214); // a tolerance band
inline constexpr QRgb kFigureText = qRgb(0, 0, 0);
// The designs compared, one colour each: the Okabe-Ito palette, told apart by people who cannot
// tell red from green.
inline constexpr QRgb kFigureDesigns[]
    = { qRgb(0, 114, 178), qRgb(213, 94, 0), qRgb(0, 158, 115), qRgb(204, 121, 167),
          qRgb(230, 159, 0), qRgb(86, 180, 233), qRgb(0, 0, 0), qRgb(120, 120, 120) };

[[nodiscard]] QFont FigureFont(int pixelSize = kFigureTextPx);

// A number as the figures write it: up to `digits` significant digits, a real minus sign.
[[nodiscard]] QString FigureNumber(double value, int digits = 6);
// Exactly `digits` significant digits ("1.00", "14.3", "0.427"), a real minus sign.
[[nodiscard]] QString FigureFixed(double value, int digits);
// With exactly `decimals` decimals, a real minus sign; never "-0.0".
[[nodiscard]] QString FigureFixedDecimals(double value, int decimals);
// A frequency with three significant digits in Hz or kHz: "1.00 kHz", "250 Hz", "12.5 kHz".
[[nodiscard]] QString FigureFrequency(double hz);
// The hyphens that stand for minus signs (before a digit, at the start, after a blank, an opening
// parenthesis or an exponent's e) turned into them: "-3 dB corner", "1e-05", not "pass-band".
[[nodiscard]] QString WithMinusSigns(const QString& text);

// Draws `text` in the painter's font so that `anchor` is the point of its box that `alignment`
// names: left, right or centre; top, bottom, centre or baseline (the default).
void DrawFigureText(QPainter& painter, QPointF anchor, const QString& text,
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignBaseline);
// The width `text` takes in the painter's font.
[[nodiscard]] double FigureTextWidth(const QPainter& painter, const QString& text);

// A pole's × and a zero's ○ at `at`, in their colours.
void DrawPoleMark(QPainter& painter, QPointF at);
void DrawZeroMark(QPainter& painter, QPointF at);

} // namespace vorn
