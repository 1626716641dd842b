#pragma once

#include "base/platform.h"

// The two in-window panels that start a PC recording: PicRec asks how the recording ends (after
// a number of records, or at a date and time) and PicStopRec takes that date and time from six
// drop-down lists.

#include <QDateTime>
#include <QFrame>

#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace recording {
class Recorder;
}

namespace app {

using Platform = base::Platform;

// PicStopRec: the stop date and time. Only list items can be chosen; keys move through the
// open lists.
class StopTimePanel : public QFrame {
    Q_OBJECT
public:
    StopTimePanel(recording::Recorder& recorder, Platform& platform, std::function<QDateTime()> now,
                  QWidget* parent = nullptr);

    // Empties and fills the six lists, each showing the current date and time.
    void fill();

    // Days offered for a month ("01".."12") of a year text: February has 29 days in the leap
    // years of the list (2020, 2024, ..., 2048) and 28 in every other year.
    static int daysInMonth(const QString& month, const QString& year);

private:
    QComboBox* addList(const char* name, const char* caption, const char* spoken, int x, int y,
                       int width);
    static void showValue(QComboBox* list, const QString& value);
    void fillDays(const QString& month, const QString& year);
    void monthChosen();
    void yearChosen();
    void confirm();

    recording::Recorder& m_recorder;
    Platform& m_platform;
    std::function<QDateTime()> m_now;

    QGroupBox* m_frame = nullptr;
    QComboBox* m_year = nullptr;
    QComboBox* m_month = nullptr;
    QComboBox* m_day = nullptr;
    QComboBox* m_hour = nullptr;
    QComboBox* m_minute = nullptr;
    QComboBox* m_second = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

// PicRec: the start of a recording, by records or by time.
class RecordPanel : public QFrame {
    Q_OBJECT
public:
    // `stopTime` is PicStopRec, shown in place of this panel for "By Time".
    RecordPanel(recording::Recorder& recorder, Platform& platform, StopTimePanel& stopTime,
                QWidget* parent = nullptr);

    // The toolbar key "Save" while idle: neither option selected, panel shown.
    void open();

private:
    void byRecords();
    void byTime();

    recording::Recorder& m_recorder;
    Platform& m_platform;
    StopTimePanel& m_stopTime;

    QPushButton* m_close = nullptr;
    QGroupBox* m_frame = nullptr;
    QRadioButton* m_optTime = nullptr;
    QRadioButton* m_optRec = nullptr;
};

} // namespace app
