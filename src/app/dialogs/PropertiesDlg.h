#pragma once

#include "style/PropertiesForm.h"

#include <QDialog>

#include <array>

namespace korvane {

class CMdcText;

// "Properties Dialog": the seven rows of the source and destination properties side by side.
// It shows the texts it is given and hands back what the boxes hold; ApplyPropertiesForm decides
// what OK changes.
class CPropertiesDlg : public QDialog {
    Q_OBJECT

public:
    explicit CPropertiesDlg(const PropertiesForm& form, QWidget* parent = nullptr);

    PropertiesForm GetForm() const;
    // Gives the tempo box of one column the focus, its text selected (a refused tempo).
    void SelectTempo(bool destination);

private:
    using ColumnBoxes = std::array<CMdcText*, 7>;
    ColumnBoxes MakeColumn(const char* prefix, const PropertiesColumn& column);
    static PropertiesColumn ReadColumn(const ColumnBoxes& boxes);

    ColumnBoxes m_source{};
    ColumnBoxes m_destination{};
};

} // namespace korvane
