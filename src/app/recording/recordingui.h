#pragma once

#include "base/platform.h"

// PC recording in the main window: the toolbar key "Save", the panels PicRec and PicStopRec,
// the captions LblFileName, LblCount and LblRecording, the button CmdOpen, and Timer2, whose
// once-a-second tick drives the recorder with the readings the live display decoded last.

#include <QDateTime>
#include <QIcon>
#include <QObject>

#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QTimer;

namespace live {
class LiveState;
}
namespace recording {
class Recorder;
}

namespace app {

class ControlPanel;
using Platform = base::Platform;
class RecordPanel;
class StopTimePanel;

class RecordingUi : public QObject {
    Q_OBJECT
public:
    // Builds everything into `window` and starts Timer2. `now` is the wall clock (the start
    // time names the file and dates the rows).
    RecordingUi(ControlPanel& window, live::LiveState& live, Platform& platform,
                std::function<QDateTime()> now = &QDateTime::currentDateTime,
                QObject* parent = nullptr);
    ~RecordingUi() override;

    recording::Recorder& recorder() { return *m_recorder; }
    // The recording tick; the clock panel stops it while it is open.
    QTimer* timer2() const { return m_timer2; }

    // The toolbar key "Save": the recording panel while idle, the end of the recording while
    // one runs.
    void saveKey();
    // CmdOpen: a data file chosen by the user, opened in the text editor.
    void openFile();

protected:
    // Closing the window during a recording finishes it as "Save" does, before the program
    // ends: the final file is written and a failure is shown while the window still stands.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void recordingChanged(bool recording);

    ControlPanel& m_window;
    live::LiveState& m_live;
    Platform& m_platform;
    std::unique_ptr<recording::Recorder> m_recorder;

    QTimer* m_timer2 = nullptr;
    RecordPanel* m_recordPanel = nullptr;
    StopTimePanel* m_stopTimePanel = nullptr;
    QLabel* m_fileName = nullptr;
    QLabel* m_count = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_open = nullptr;
    QIcon m_saveIcon;
    QIcon m_stopIcon;
};

} // namespace app
