#include "app/pictures/SectionLabels.h"

#include "assignment/AssignmentTable.h"
#include "platform/DisplayText.h"

#include <QHelpEvent>
#include <QLabel>
#include <QToolTip>

namespace korvane {

CSectionLabels::CSectionLabels(const CAssignmentTable& table, QObject* parent)
    : QObject(parent), m_table(table), m_cache([this](std::uint64_t serial) {
          // From the cache's worker: the window's thread shows it.
          QMetaObject::invokeMethod(
              this, [this, serial] { ShowWhenReady(serial); }, Qt::QueuedConnection);
      }) {}

void CSectionLabels::Watch(QLabel* label, LabelColumn column, int row) {
    m_places[label] = {column, row};
    label->installEventFilter(this);
}

QString CSectionLabels::TipFor(const CStyleSection& section, const SectionPicture& picture,
                               const QString& labelTip) {
    PartVoiceName voiceName;
    PartVoiceNames names;
    if (m_voiceNames) {
        names = m_voiceNames(section);
        voiceName = [&names](int part) { return names[std::size_t(part)]; };
    }
    const QString name = QString::fromStdString(DisplayUtf8(section.GetName()));
    QString tip =
        SectionPictureHtml(name, picture, DrawSectionPicture(picture, voiceName), voiceName);
    // The label's own tip (a cut caption in full, a note) stays above the picture.
    if (!labelTip.isEmpty())
        tip = QStringLiteral("<p style=\"white-space:pre\">%1</p>").arg(labelTip.toHtmlEscaped()) +
              tip;
    return tip;
}

QString CSectionLabels::PictureTip(QLabel* label) {
    const auto place = m_places.find(label);
    if (place == m_places.end())
        return {};
    const CStyleSection* section = SectionAtLabel(m_table, place->second.column, place->second.row);
    if (!section)
        return {};
    const auto picture = m_cache.Find(*section, SectionTimingIn(m_table.GetDocument(), *section));
    if (!picture) {
        m_pWaiting = label;
        m_waitingSerial = section->GetSerial();
        return {};
    }
    m_pWaiting = nullptr;
    return TipFor(*section, *picture, label->toolTip());
}

bool CSectionLabels::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ToolTip || !m_places.count(watched))
        return QObject::eventFilter(watched, event);
    auto* label = static_cast<QLabel*>(watched);
    const QPoint at = static_cast<QHelpEvent*>(event)->globalPos();
    m_pWaiting = nullptr;
    const QString tip = PictureTip(label);
    if (tip.isEmpty() && !m_pWaiting)
        return QObject::eventFilter(watched, event); // no section here: the label's own tip
    m_waitingAt = at;
    if (!tip.isEmpty())
        QToolTip::showText(at, tip, label);
    return true;
}

void CSectionLabels::ShowWhenReady(std::uint64_t serial) {
    if (!m_pWaiting || serial != m_waitingSerial || !m_pWaiting->underMouse())
        return;
    QLabel* label = m_pWaiting;
    const QString tip = PictureTip(label);
    if (!tip.isEmpty())
        QToolTip::showText(m_waitingAt, tip, label);
}

} // namespace korvane
