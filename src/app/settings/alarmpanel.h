#pragma once

#include "base/platform.h"
#include "session/exchange.h"
#include "settings/alarmlimits.h"

#include <QFrame>
#include <QPointer>

#include <array>
#include <optional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace serial {
class LinkThread;
}
namespace live {
class LiveState;
}
namespace settings {
class AlarmMonitor;
}

namespace app {

class ControlPanel;
using Platform = base::Platform;

// The alarm panel PicAlarm: reads the meter's eight limits with "J" and shows them in the
// unit the meter displays; OK checks them against the type's range, writes them with "H" and
// hands them and the ticked channels to the alarm monitor. While it is open the link is
// marked busy and the live poll is off; Cancel (or Escape) sends nothing.
class AlarmPanel : public QFrame {
    Q_OBJECT
public:
    AlarmPanel(serial::LinkThread& link, session::ExchangeHost& exchangeHost,
               const live::LiveState& live, Platform& platform, settings::AlarmMonitor& monitor,
               QWidget* window);

    // The toolbar key "Alarm": nothing while another exchange owns the link.
    void open();

    static constexpr int kTwipsPerPixel = 15;

private:
    void limitsRead(session::Exchange::End end, const std::optional<settings::LimitWords>& words);
    void confirm();
    void written(session::Exchange::End end, const QString& error,
                 const settings::LimitValues& values);
    // Hides the panel and gives the link back.
    void close();
    void setWaiting(bool waiting);
    // Widths and visible columns for 1, 2 or 4 channels; other counts change nothing.
    void fitChannels(int channels);
    settings::LimitTexts boxTexts() const;

    session::Exchange* m_exchange = nullptr;
    const session::ExchangeHost& m_host;
    const live::LiveState& m_live;
    Platform& m_platform;
    settings::AlarmMonitor& m_monitor;

    QGroupBox* m_frame = nullptr;
    std::array<QLineEdit*, settings::kLimitCount> m_boxes{}; // TxtT1H, TxtT1L, ... TxtT4L
    std::array<QLabel*, settings::kLimitCount> m_headings{};
    std::array<QCheckBox*, live::kChannels> m_enable{};
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;

    std::optional<live::TempUnit> m_unit; // the unit the boxes are in
    QPointer<QWidget> m_focusBefore;
};

// Builds the alarm panel and the alarm monitor into the main window: the toolbar key "Alarm",
// the monitor's alarms cleared on every (re)connection, and the channels in alarm shown on the
// window (not by sound alone).
AlarmPanel* attachAlarmPanel(ControlPanel& window, serial::LinkThread& link,
                             const live::LiveState& live, Platform& platform);

} // namespace app
