#pragma once

#include <string>

#include "platform/system/local_time.h"

namespace zel {

// The captions frmMain writes.
enum class Caption { cmdExit, lblInfo, lblTime, lblSon, frmMain };

// A folder box: txtKaynak[pair] (source) or txtHedef[pair].
struct FolderBox {
    bool source = true;
    int pair = 0;
    bool operator==(const FolderBox&) const = default;
};

// The values the window shows and the machine works with: the folders, the schedule, the last
// row, the backup button and the captions. Alone, they are the window's own controls; in the
// service, a copy in memory that the connected windows mirror.
class PanelView {
public:
    virtual ~PanelView() = default;

    // txtKaynak[pair] and txtHedef[pair], pair 0..3.
    virtual std::string sourceText(int pair) const = 0;
    virtual void setSourceText(int pair, const std::string& text) = 0;
    virtual std::string targetText(int pair) const = 0;
    virtual void setTargetText(int pair, const std::string& text) = 0;
    // chkYedek1..3 as slot 0..2: 0 off, 1 on, 2 grey. Setting raises the click event; another
    // number is refused (false) and changes nothing.
    virtual int switchValue(int slot) const = 0;
    virtual bool setSwitchValue(int slot, int value) = 0;
    // dtYedek1, dtyedek2, dtYedek3 as slot 0..2. Setting another time raises the change event.
    virtual TimeOfDay pickerTime(int slot) const = 0;
    virtual void setPickerTime(int slot, const TimeOfDay& time) = 0;
    // udSakla, archives kept per target folder: 0..999, a value outside is brought into the range.
    // Setting another value raises the change event.
    virtual int keepArchivesValue() const = 0;
    virtual void setKeepArchivesValue(int value) = 0;
    // chkKacan: 0 off, 1 on (any other number counts as on). Setting another value raises the
    // click event.
    virtual int missedRunValue() const = 0;
    virtual void setMissedRunValue(int value) = 0;
    // cmdCopy
    virtual bool copyEnabled() const = 0;
    virtual void setCopyEnabled(bool enabled) = 0;
    virtual std::string caption(Caption which) const = 0;
    virtual void setCaption(Caption which, const std::string& text) = 0;
};

}  // namespace zel
