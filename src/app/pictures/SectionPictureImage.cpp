#include "app/pictures/SectionPictureImage.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <numeric>
#include <vector>

namespace korvane {
namespace {

constexpr std::array<QRgb, kPartCount> kPartColours = {
    qRgb(230, 90, 80),  qRgb(240, 150, 60),  qRgb(90, 170, 240), qRgb(110, 210, 110),
    qRgb(80, 200, 180), qRgb(180, 140, 230), qRgb(240, 210, 80), qRgb(230, 120, 200)};

QString LaneName(int part, const PartVoiceName& voiceName) {
    QString name = QString::fromUtf8(kPartNames[std::size_t(part)]);
    const std::string voice = voiceName ? voiceName(part) : std::string();
    if (!voice.empty())
        name += QStringLiteral(": ") + QString::fromStdString(voice);
    return name;
}

// Marks each note's span on its key's row as a count of starts and ends, then fills the rows
// where any note sounds: the cost is the notes plus the lane's pixels, not the notes times their
// widths.
void DrawNotes(QImage& image, const std::vector<PictureNote>& notes, int left, int top,
               double scale, QRgb colour) {
    const int width = kPictureNotesWidth;
    int low = 127;
    int high = 0;
    for (const PictureNote& note : notes) {
        low = std::min<int>(low, note.key);
        high = std::max<int>(high, note.key);
    }
    const int rows = kPictureLaneHeight - 4;
    const int span = std::max(1, high - low);
    std::vector<int> counts(std::size_t(rows * (width + 1)), 0);
    for (const PictureNote& note : notes) {
        const int row = rows - 1 - (note.key - low) * (rows - 1) / span;
        const int x0 = std::clamp(int(double(note.start) * scale), 0, width - 1);
        const int x1 = std::clamp(int(double(note.start + note.length) * scale), x0 + 1, width);
        ++counts[std::size_t(row * (width + 1) + x0)];
        --counts[std::size_t(row * (width + 1) + x1)];
    }
    for (int row = 0; row < rows; ++row) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(top + 2 + row)) + left;
        const auto first = counts.begin() + row * (width + 1);
        std::partial_sum(first, first + width, first); // how many notes sound at each pixel
        std::transform(first, first + width, line, line, [colour](int sounding, QRgb pixel) {
            return sounding > 0 ? colour : pixel;
        });
    }
}

} // namespace

QImage DrawSectionPicture(const SectionPicture& picture, const PartVoiceName& voiceName) {
    std::vector<int> lanes;
    for (int part = 0; part < kPartCount; ++part)
        if (picture.Plays(part))
            lanes.push_back(part);
    QFont font;
    font.setPixelSize(11);
    const QFontMetrics metrics(font);
    QStringList names;
    int left = kPictureNameWidth;
    for (int part : lanes) {
        names << LaneName(part, voiceName);
        left = std::clamp(metrics.horizontalAdvance(names.back()) + 9, left, kPictureWidestNames);
    }
    const int width = left + kPictureNotesWidth;
    QImage image(width, PictureHeight(int(lanes.size())), QImage::Format_RGB32);
    image.fill(qRgb(24, 24, 24));
    const double length = double(std::max<std::uint64_t>(1, picture.lengthPulses));
    const double scale = double(kPictureNotesWidth) / length;

    for (std::size_t lane = 0; lane < lanes.size(); ++lane) {
        const int top = int(lane) * kPictureLaneHeight;
        DrawNotes(image, picture.parts[std::size_t(lanes[lane])], left, top, scale,
                  kPartColours[std::size_t(lanes[lane])]);
    }

    QPainter painter(&image);
    painter.setFont(font);
    // Bar lines, thinned out so that they stay at least four pixels apart.
    const std::uint64_t barPulses = picture.bars == 0 && picture.beats == 0
                                        ? 0
                                        : std::uint64_t(picture.timing.division) * 4 *
                                              std::uint64_t(picture.timing.numerator) /
                                              std::uint64_t(picture.timing.denominator);
    if (barPulses > 0) {
        const double barWidth = double(barPulses) * scale;
        const std::uint64_t step = std::max<std::uint64_t>(1, std::uint64_t(4.0 / barWidth) + 1);
        painter.setPen(QColor(110, 110, 110));
        for (std::uint64_t bar = step; bar * barPulses < picture.lengthPulses; bar += step) {
            const int x = left + int(double(bar * barPulses) * scale);
            painter.drawLine(x, 0, x, image.height() - 1);
        }
    }
    painter.setPen(QColor(70, 70, 70));
    for (std::size_t lane = 0; lane <= lanes.size(); ++lane)
        painter.drawLine(0, int(lane) * kPictureLaneHeight, width - 1,
                         int(lane) * kPictureLaneHeight);
    painter.drawLine(left - 1, 0, left - 1, image.height() - 1);
    for (std::size_t lane = 0; lane < lanes.size(); ++lane) {
        painter.setPen(QColor(kPartColours[std::size_t(lanes[lane])]));
        const QRect box(4, int(lane) * kPictureLaneHeight, left - 8, kPictureLaneHeight);
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(names[int(lane)], Qt::ElideRight, box.width()));
    }
    if (lanes.empty()) {
        painter.setPen(QColor(200, 200, 200));
        painter.drawText(QRect(4, 0, width - 8, kPictureLaneHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("No notes"));
    }
    return image;
}

QString SectionPictureHtml(const QString& name, const SectionPicture& picture, const QImage& image,
                           const PartVoiceName& voiceName) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    QStringList lanes;
    for (int part = 0; part < kPartCount; ++part)
        if (picture.Plays(part))
            lanes << LaneName(part, voiceName);
    QString heading = QStringLiteral("<b>%1</b> &nbsp; %2")
                          .arg(name.toHtmlEscaped(),
                               QString::fromStdString(picture.LengthText()).toHtmlEscaped());
    if (picture.damaged)
        heading += QStringLiteral(" &nbsp; (damaged at byte %1)").arg(picture.damagedAt);
    if (const std::string unrouted = picture.UnroutedText(); !unrouted.empty())
        heading += QStringLiteral("<br>") + QString::fromStdString(unrouted).toHtmlEscaped();
    return QStringLiteral(
               "<div style=\"white-space:pre\">%1</div><div><img "
               "src=\"data:image/png;base64,%2\" alt=\"%3\" width=\"%4\" height=\"%5\"></div>")
        .arg(heading, QString::fromLatin1(png.toBase64()), lanes.join(QStringLiteral(", ")))
        .arg(image.width())
        .arg(image.height());
}

} // namespace korvane
