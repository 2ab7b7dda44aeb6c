#include "figurestyle.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vorn {

namespace {

constexpr QChar kMinus(0x2212);

// `value` rounded to `digits` significant digits.
double RoundSignificant(double value, int digits)
{
    if (value == 0 || !std::isfinite(value)) {
        return value;
    }
    const double scale = std::pow(10.0, digits - 1 - std::floor(std::log10(std::fabs(value))));
    return std::round(value * scale) / scale;
}

} // namespace

QFont FigureFont(int pixelSize)
{
    QFont font(QString::fromLatin1(kFigureFontFamily));
    font.setPixelSize(pixelSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QString WithMinusSigns(const QString& text)
{
    QString result = text;
    for (qsizetype i = 0; i + 1 < result.size(); ++i) {
        const bool starts = i == 0 || result[i - 1] == QLatin1Char(' ')
            || result[i - 1] == QLatin1Char('(') || result[i - 1] == QLatin1Char('e');
        if (result[i] == QLatin1Char('-') && starts && result[i + 1].isDigit()) {
            result[i] = kMinus;
        }
    }
    return result;
}

QString FigureNumber(double value, int digits)
{
    // + 0.0 turns -0 into 0.
    return WithMinusSigns(QString::number(value + 0.0, 'g', digits));
}

QString FigureFixed(double value, int digits)
{
    const double rounded = RoundSignificant(value, digits) + 0.0;
    const int magnitude
        = rounded == 0 ? 0 : static_cast<int>(std::floor(std::log10(std::fabs(rounded))));
    const int decimals = std::max(0, digits - 1 - magnitude);
    return WithMinusSigns(QString::number(rounded, 'f', decimals));
}

QString FigureFixedDecimals(double value, int decimals)
{
    QString text = QString::number(value, 'f', decimals);
    if (text.startsWith(QLatin1Char('-'))
        && text.count(QLatin1Char('0')) == text.size() - 1 - (decimals > 0 ? 1 : 0)) {
        text.remove(0, 1);
    }
    return WithMinusSigns(text);
}

QString FigureFrequency(double hz)
{
    const double rounded = RoundSignificant(hz, 3);
    return rounded >= 1000 ? FigureFixed(rounded / 1000, 3) + QStringLiteral(" kHz")
                           : FigureFixed(rounded, 3) + QStringLiteral(" Hz");
}

void DrawFigureText(QPainter& painter, QPointF anchor, const QString& text, Qt::Alignment alignment)
{
    const QFontMetricsF metrics(painter.font());
    double x = anchor.x();
    if (alignment & Qt::AlignRight) {
        x -= metrics.horizontalAdvance(text);
    } else if (alignment & Qt::AlignHCenter) {
        x -= metrics.horizontalAdvance(text) / 2;
    }
    double y = anchor.y();
    if (alignment & Qt::AlignTop) {
        y += metrics.ascent();
    } else if (alignment & Qt::AlignBottom) {
        y -= metrics.descent();
    } else if (alignment & Qt::AlignVCenter) {
        y += metrics.capHeight() / 2;
    }
    painter.drawText(QPointF(x, y), text);
}

double FigureTextWidth(const QPainter& painter, const QString& text)
{
    return QFontMetricsF(painter.font()).horizontalAdvance(text);
}

void DrawPoleMark(QPainter& painter, QPointF at)
{
    painter.setPen(QPen(QColor(kFigurePole), kFigureLineWidth + 0.5));
    painter.setBrush(Qt::NoBrush);
    const double d = kFigureMarker;
    painter.drawLine(at + QPointF(-d, -d), at + QPointF(d, d));
    painter.drawLine(at + QPointF(-d, d), at + QPointF(d, -d));
}

void DrawZeroMark(QPainter& painter, QPointF at)
{
    painter.setPen(QPen(QColor(kFigureZero), kFigureLineWidth + 0.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(at, kFigureMarker, kFigureMarker);
}

} // namespace vorn
