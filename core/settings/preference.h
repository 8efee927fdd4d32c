#pragma once

#include "core/settings/inifile.h"

#include <QString>

namespace foresyn {

// The user's preferences: sounds on or off, the colour that marks the base
// plan in the forecast table, automatic memory-stick and online
// synchronization. Stored in section "General" of an INI file; every other
// section and key of that file is kept and written back untouched.
class TPreference {
public:
    // 0x00BBGGRR: pure red.
    static constexpr int kDefaultHighlight = 255;

    // Holds Sound on, the default highlight and the two synchronizations off
    // until Load.
    explicit TPreference(QString fileName);

    const QString& FileName() const noexcept { return fileName_; }

    // Reads the four values; a missing file, section or key, or a value that
    // is not a number, gives Sound on, Highlight 255, Active USB on and Online
    // off. A file that exists but cannot be read throws TError naming it and
    // the reason, and changes nothing.
    void Load();
    // Writes the four values into section "General", owner-only readable.
    // On failure TError names the file and the reason; the old file stays.
    void Save();

    bool Sound() const noexcept { return sound_; }
    void SetSound(bool on) noexcept { sound_ = on; }
    int Highlight() const noexcept { return highlight_; }
    void SetHighlight(int colour) noexcept { highlight_ = colour; }
    bool ActiveUsb() const noexcept { return activeUsb_; }
    void SetActiveUsb(bool on) noexcept { activeUsb_ = on; }
    bool Online() const noexcept { return online_; }
    void SetOnline(bool on) noexcept { online_ = on; }

private:
    QString fileName_;
    TIniFile file_; // what the file held when loaded, for writing it back
    bool sound_ = true;
    int highlight_ = kDefaultHighlight;
    bool activeUsb_ = false;
    bool online_ = false;
};

} // namespace foresyn
