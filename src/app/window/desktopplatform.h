#pragma once

#include "app/sound/tone.h"
#include "base/platform.h"

#include <memory>

namespace app {

using Platform = base::Platform;

// The real desktop: Qt's dialogs, the desktop's editor association, the alarm tone.
class DesktopPlatform : public Platform {
public:
    void message(const QString& text, Icon icon, const QString& details) override;
    bool confirm(const QString& text, const QString& title) override;
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& defaultText) override;
    QString chooseFile(const QString& filter) override;
    QString chooseSaveFile(const QString& filter, const QString& suggested) override;
    bool openInEditor(const QString& path) override;
    // Queued on the tone's own thread: returns at once.
    void beep() override;
    // The sound behind beep(), made on first use.
    Tone& tone();

private:
    std::unique_ptr<Tone> m_tone;
};

} // namespace app
