#pragma once

// The renderer's SVG figures as the tests look at them: every drawn element with the style it
// takes from its groups (stroke, fill, dashes, font) and its coordinates carried through their
// transforms into the picture's pixels.
#include <QFile>
#include <QPolygonF>
#include <QRectF>
#include <QRegularExpression>
#include <QString>
#include <QTransform>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

struct SvgItem
{
    QString element; // polyline, circle, rect, text
    QString stroke;
    QString fill;
    bool dashed = false;
    QPolygonF points; // a polyline's
    QPointF centre; // a circle's
    double radius = 0;
    QRectF rect; // a rect's, as its corners land
    QString text; // a text's, with the start of its baseline and its direction in degrees
    QPointF at;
    double angle = 0;
    double fontSize = 0;
    QString fontFamily;
    QPointF origin; // where the element's transform puts (0, 0)
};

struct SvgFigure
{
    bool ok = false;
    QRectF viewBox;
    std::vector<SvgItem> items;

    [[nodiscard]] std::vector<SvgItem> of(
        const QString& element, const QString& stroke = {}, const QString& fill = {}) const
    {
        std::vector<SvgItem> found;
        for (const SvgItem& item : items) {
            if (item.element == element && (stroke.isEmpty() || item.stroke == stroke)
                && (fill.isEmpty() || item.fill == fill)) {
                found.push_back(item);
            }
        }
        return found;
    }

    [[nodiscard]] std::vector<QString> texts() const
    {
        std::vector<QString> found;
        for (const SvgItem& item : of(QStringLiteral("text"))) {
            found.push_back(item.text);
        }
        return found;
    }
};

inline SvgFigure readSvgFigure(const QString& path)
{
    SvgFigure figure;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return figure;
    }
    QXmlStreamReader xml(&file);
    std::vector<SvgItem> styles { SvgItem {} };
    std::vector<QTransform> transforms { QTransform {} };
    const QRegularExpression matrix(QStringLiteral("matrix\\(([^)]*)\\)"));
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement()) {
            styles.pop_back();
            transforms.pop_back();
            continue;
        }
        if (!xml.isStartElement()) {
            continue;
        }
        const auto value = [&](const char* name) { return xml.attributes().value(name); };
        SvgItem item = styles.back();
        QTransform transform = transforms.back();
        if (!value("stroke").isEmpty()) {
            item.stroke = value("stroke").toString();
            item.dashed = !value("stroke-dasharray").isEmpty();
        }
        if (!value("fill").isEmpty()) {
            item.fill = value("fill").toString();
        }
        if (!value("font-size").isEmpty()) {
            item.fontSize = value("font-size").toDouble();
            item.fontFamily = value("font-family").toString();
        }
        const auto found = matrix.match(value("transform").toString());
        if (found.hasMatch()) {
            const QStringList m = found.captured(1).split(',');
            transform
                = QTransform(m.value(0).toDouble(), m.value(1).toDouble(), m.value(2).toDouble(),
                    m.value(3).toDouble(), m.value(4).toDouble(), m.value(5).toDouble());
        }
        styles.push_back(item);
        transforms.push_back(transform);
        item.element = xml.name().toString();
        item.origin = transform.map(QPointF(0, 0));
        if (item.element == QStringLiteral("svg")) {
            const QStringList box = value("viewBox").toString().split(' ', Qt::SkipEmptyParts);
            figure.viewBox = QRectF(box.value(0).toDouble(), box.value(1).toDouble(),
                box.value(2).toDouble(), box.value(3).toDouble());
        } else if (item.element == QStringLiteral("polyline")) {
            for (const QString& pair : value("points").toString().split(' ', Qt::SkipEmptyParts)) {
                item.points.append(transform.map(
                    QPointF(pair.section(',', 0, 0).toDouble(), pair.section(',', 1).toDouble())));
            }
        } else if (item.element == QStringLiteral("circle")) {
            item.centre = transform.map(QPointF(value("cx").toDouble(), value("cy").toDouble()));
            item.radius = value("r").toDouble();
        } else if (item.element == QStringLiteral("rect")) {
            item.rect = transform.mapRect(QRectF(value("x").toDouble(), value("y").toDouble(),
                value("width").toDouble(), value("height").toDouble()));
        } else if (item.element == QStringLiteral("text")) {
            item.at = transform.map(QPointF(value("x").toDouble(), value("y").toDouble()));
            item.angle = std::atan2(transform.m12(), transform.m11()) * 180 / std::numbers::pi;
            item.text = xml.readElementText();
            styles.pop_back();
            transforms.pop_back();
        } else {
            continue;
        }
        figure.items.push_back(item);
    }
    figure.ok = !xml.hasError() && figure.viewBox.isValid();
    return figure;
}

// A number as the figures write it, with a minus sign for the hyphen.
inline double figureNumber(QString text, bool* ok)
{
    return text.replace(QChar(0x2212), QLatin1Char('-')).toDouble(ok);
}

// How far `point` is from the polyline.
inline double distanceToLine(const QPolygonF& line, QPointF point)
{
    double best = HUGE_VAL;
    for (qsizetype i = 1; i < line.size(); ++i) {
        const QPointF a = line[i - 1];
        const QPointF d = line[i] - a;
        const double length = QPointF::dotProduct(d, d);
        const double t
            = length > 0 ? std::clamp(QPointF::dotProduct(point - a, d) / length, 0.0, 1.0) : 0.0;
        const QPointF off = point - (a + t * d);
        best = std::min(best, std::hypot(off.x(), off.y()));
    }
    return best;
}
