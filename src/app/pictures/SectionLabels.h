#pragma once

#include "app/pictures/SectionPictureImage.h"
#include "assignment/SectionPictures.h"
#include "style/SectionPictureCache.h"

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <functional>
#include <unordered_map>

class QLabel;

namespace korvane {

class CAssignmentTable;

// The pictures of the window's section labels: resting the mouse on a source section or an
// assigned slot shows the section's piano roll in the label's tooltip. The table says which
// section a label shows; a large section's picture is computed on the cache's worker and shown
// when it is ready, if the mouse still rests there, so a click never waits for it.
class CSectionLabels : public QObject {
    Q_OBJECT

public:
    explicit CSectionLabels(const CAssignmentTable& table, QObject* parent = nullptr);

    // Shows the picture of the section that label shows (column, row) in its tooltip.
    void Watch(QLabel* label, LabelColumn column, int row);
    // Where the lanes get the voice each part of a section plays; none by default.
    void SetVoiceNames(std::function<PartVoiceNames(const CStyleSection&)> voiceNames) {
        m_voiceNames = std::move(voiceNames);
    }
    // The tooltip text of the picture of the section a label shows; empty when it shows none or
    // its picture is still being computed.
    QString PictureTip(QLabel* label);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Place {
        LabelColumn column;
        int row;
    };
    void ShowWhenReady(std::uint64_t serial);
    QString TipFor(const CStyleSection& section, const SectionPicture& picture,
                   const QString& labelTip);

    const CAssignmentTable& m_table;
    std::function<PartVoiceNames(const CStyleSection&)> m_voiceNames;
    std::unordered_map<QObject*, Place> m_places;
    // The label waiting for its picture, where the mouse rested, and the section's serial.
    QPointer<QLabel> m_pWaiting;
    QPoint m_waitingAt;
    std::uint64_t m_waitingSerial = 0;
    CSectionPictureCache m_cache; // last: its worker ends before the members it reports to
};

} // namespace korvane
