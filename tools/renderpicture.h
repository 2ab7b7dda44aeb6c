#pragma once

// What the subcommands that write pictures share: the Qt application for fonts and the SVG
// generator, the choice of the format by the file name, and the file that appears complete.
#include <QByteArray>
#include <QGuiApplication>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

class QImage;
class QPainter;

namespace vorn {

// A Qt application on the offscreen platform unless QT_QPA_PLATFORM says otherwise, with Qt's
// own notes silenced (the tool's errors are its own single lines); nullptr if one exists.
[[nodiscard]] std::unique_ptr<QGuiApplication> StartPictureApplication();

// Whether `path` ends with `suffix` (lower case), in any case: ".png" matches "PLOT.PNG".
[[nodiscard]] bool HasSuffix(std::string_view path, std::string_view suffix);

[[nodiscard]] std::string ToStdString(const QByteArray& bytes);

// The SVG document of what `paint` draws on a canvas of `size`, with `title`.
[[nodiscard]] QByteArray PaintSvg(
    QSize size, const QString& title, const std::function<void(QPainter&)>& paint);

// The image as a PNG file's bytes; throws std::runtime_error if it cannot be encoded.
[[nodiscard]] QByteArray EncodePng(const QImage& image);

// Writes `bytes` to `path` so that the file appears complete or not at all: a temporary file in
// the same folder, then a rename. Throws UsageError naming the problem; nothing is left behind.
void WriteFileAtomically(const std::string& path, const std::string& bytes);

// Writes what `paint` draws on a white canvas of `size`, smoothed, in the figures' font, to
// `output` as it appears complete: SVG (with `title`) or PNG by the name's ending.
void WriteFigure(const std::string& output, QSize size, const QString& title,
    const std::function<void(QPainter&)>& paint);

} // namespace vorn
