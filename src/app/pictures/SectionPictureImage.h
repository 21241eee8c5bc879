#pragma once

#include "style/SectionPicture.h"

#include <QImage>
#include <QString>

#include <functional>
#include <string>

namespace korvane {

// The voice a part of a section plays, for its lane's name; empty when unknown.
using PartVoiceName = std::function<std::string(int part)>;

// The size of a picture: the names' column (wider where voice names need it, up to a limit), the
// notes' width, and a lane for each part that plays (one for a section without notes).
constexpr int kPictureNameWidth = 96;
constexpr int kPictureWidestNames = 220;
constexpr int kPictureNotesWidth = 284;
constexpr int kPictureLaneHeight = 18;
constexpr int PictureHeight(int lanes) {
    return (lanes > 0 ? lanes : 1) * kPictureLaneHeight + 1;
}

// A small piano roll: one coloured lane per part that plays, its name at the left (and its voice,
// when voiceName knows it: "Bass: Fretless Bass"), the notes by key within the lane, and the bar
// lines. Drawn in time linear in the notes and the picture's pixels, however long the section.
QImage DrawSectionPicture(const SectionPicture& picture, const PartVoiceName& voiceName = {});

// Rich text for a tooltip: the name and length above the picture, as an embedded PNG whose
// alternative text lists the lanes ("Bass: Fretless Bass, Chord 1").
QString SectionPictureHtml(const QString& name, const SectionPicture& picture, const QImage& image,
                           const PartVoiceName& voiceName = {});

} // namespace korvane
