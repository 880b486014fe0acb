#pragma once

#include <QCheckBox>

namespace zel {

// A schedule switch: it shows the grey state when the file or the program sets it, but a click
// only ever turns it off or on. A plain three-state box would cycle through grey on the way.
class SwitchBox final : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override;
};

}  // namespace zel
