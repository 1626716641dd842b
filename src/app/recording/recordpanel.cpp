#include "app/recording/recordpanel.h"

#include "app/window/desktopplatform.h"
#include "app/window/listkeys.h"
#include "recording/datarow.h"
#include "recording/recorder.h"

#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace app {

namespace {

constexpr int kFirstYear = 2017;
constexpr int kLastYear = 2050;

QString twoDigits(int value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

void fillNumbers(QComboBox* list, int first, int last, int width) {
    QStringList items;
    for (int n = first; n <= last; ++n)
        items.append(QStringLiteral("%1").arg(n, width, 10, QLatin1Char('0')));
    list->addItems(items);
}

} // namespace

StopTimePanel::StopTimePanel(recording::Recorder& recorder, Platform& platform,
                             std::function<QDateTime()> now, QWidget* parent)
    : QFrame(parent)
    , m_recorder(recorder)
    , m_platform(platform)
    , m_now(std::move(now)) {
    setObjectName(QStringLiteral("PicStopRec"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    setGeometry(14, 240, 277, 170);

    m_frame = new QGroupBox(QStringLiteral("Time to Stop Recording"), this);
    m_frame->setObjectName(QStringLiteral("FrameStopRec"));
    m_frame->setGeometry(8, 6, 261, 120);

    m_year = addList("ComboYY", "Year", "Year", 8, 38, 70);
    m_month = addList("ComboMM", "Month", "Month", 84, 38, 56);
    m_day = addList("ComboDD", "Date", "Day", 146, 38, 56);
    m_hour = addList("Combohh", "Hour", "Hour", 8, 84, 56);
    m_minute = addList("Combonn", "Minute", "Minute", 70, 84, 56);
    m_second = addList("Comboss", "Second", "Second", 132, 84, 56);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("CmdStopRecByTimeOK"));
    m_ok->setGeometry(40, 132, 90, 30);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("CmdStopRecByTimeCancel"));
    m_cancel->setGeometry(146, 132, 90, 30);

    connect(m_month, &QComboBox::activated, this, &StopTimePanel::monthChosen);
    connect(m_year, &QComboBox::activated, this, &StopTimePanel::yearChosen);
    connect(m_ok, &QPushButton::clicked, this, &StopTimePanel::confirm);
    connect(m_cancel, &QPushButton::clicked, this, &QWidget::hide);
    hide();
}

QComboBox* StopTimePanel::addList(const char* name, const char* caption, const char* spoken, int x,
                                  int y, int width) {
    // Each caption right over its list, so that the words line up with what they name.
    auto* label = new QLabel(QString::fromLatin1(caption), m_frame);
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(x, y - 18, width, 16);
    auto* list = new QComboBox(m_frame);
    list->setObjectName(QString::fromLatin1(name));
    list->setAccessibleName(QString::fromLatin1(spoken));
    label->setBuddy(list);
    // Editable so that the current date shows even in a year outside the list; read-only, and
    // keys only move through the open list, so that values come from the list alone.
    list->setEditable(true);
    list->lineEdit()->setReadOnly(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->setGeometry(x, y, width, 24);
    ListKeys::attach(list);
    return list;
}

void StopTimePanel::showValue(QComboBox* list, const QString& value) {
    // The list opens on the value shown; a value outside the list (a year before the first)
    // stays as text, and the list opens at its top.
    const int at = list->findText(value);
    list->setCurrentIndex(at);
    if (at < 0)
        list->setEditText(value);
}

int StopTimePanel::daysInMonth(const QString& month, const QString& year) {
    static const QStringList kLong = {"01", "03", "05", "07", "08", "10", "12"};
    static const QStringList kShort = {"04", "06", "09", "11"};
    static const QStringList kLeap = {"2020", "2024", "2028", "2032",
                                      "2036", "2040", "2044", "2048"};
    if (kLong.contains(month))
        return 31;
    if (kShort.contains(month))
        return 30;
    if (month == QLatin1String("02"))
        return kLeap.contains(year) ? 29 : 28;
    return 0;
}

void StopTimePanel::fill() {
    const QDateTime now = m_now();
    const QDate date = now.date();
    const QTime time = now.time();
    for (QComboBox* list : {m_year, m_month, m_day, m_hour, m_minute, m_second})
        list->clear();
    fillNumbers(m_year, kFirstYear, kLastYear, 4);
    showValue(m_year, QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0')));
    fillNumbers(m_month, 1, 12, 2);
    showValue(m_month, twoDigits(date.month()));
    fillNumbers(m_day, 1, daysInMonth(m_month->currentText(), m_year->currentText()), 2);
    showValue(m_day, twoDigits(date.day()));
    fillNumbers(m_hour, 0, 23, 2);
    showValue(m_hour, twoDigits(time.hour()));
    fillNumbers(m_minute, 0, 59, 2);
    showValue(m_minute, twoDigits(time.minute()));
    fillNumbers(m_second, 0, 59, 2);
    showValue(m_second, twoDigits(time.second()));
}

void StopTimePanel::fillDays(const QString& month, const QString& year) {
    m_day->clear();
    fillNumbers(m_day, 1, daysInMonth(month, year), 2);
    showValue(m_day, QStringLiteral("01"));
}

void StopTimePanel::monthChosen() {
    fillDays(m_month->currentText(), m_year->currentText());
}

void StopTimePanel::yearChosen() {
    if (m_month->currentText() == QLatin1String("02"))
        fillDays(m_month->currentText(), m_year->currentText());
}

void StopTimePanel::confirm() {
    const QDate date(m_year->currentText().toInt(), m_month->currentText().toInt(),
                     m_day->currentText().toInt());
    const QTime time(m_hour->currentText().toInt(), m_minute->currentText().toInt(),
                     m_second->currentText().toInt());
    // Field by field from the year down equals comparing the wall-clock second counts; the
    // same second as now is not before it. No QDateTime in between: a time in the hour a
    // daylight-saving change skips has none, yet it is a time the user can mean.
    if (!date.isValid() || !time.isValid() ||
        recording::stampFromCivil(date, time) < recording::stampFromDateTime(m_now())) {
        m_platform.message(QStringLiteral("Error! try again!"));
        return;
    }
    m_recorder.startByTime(date, time);
    hide();
}

RecordPanel::RecordPanel(recording::Recorder& recorder, Platform& platform, StopTimePanel& stopTime,
                         QWidget* parent)
    : QFrame(parent)
    , m_recorder(recorder)
    , m_platform(platform)
    , m_stopTime(stopTime) {
    setObjectName(QStringLiteral("PicRec"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    setGeometry(44, 250, 217, 110);

    m_close = new QPushButton(QStringLiteral("X"), this);
    m_close->setObjectName(QStringLiteral("CmdSaveCancel"));
    m_close->setAccessibleName(QStringLiteral("Close"));
    m_close->setToolTip(QStringLiteral("Close"));
    m_close->setGeometry(189, 4, 22, 22);
    m_frame = new QGroupBox(QStringLiteral("Stop Recording"), this);
    m_frame->setObjectName(QStringLiteral("FrameRec"));
    m_frame->setGeometry(10, 26, 197, 76);
    m_optTime = new QRadioButton(QStringLiteral("By Time"), m_frame);
    m_optTime->setObjectName(QStringLiteral("OptTime"));
    m_optTime->setGeometry(12, 22, 170, 22);
    m_optRec = new QRadioButton(QStringLiteral("By Records"), m_frame);
    m_optRec->setObjectName(QStringLiteral("OptRec"));
    m_optRec->setGeometry(12, 46, 170, 22);

    connect(m_close, &QPushButton::clicked, this, &QWidget::hide);
    connect(m_optRec, &QRadioButton::clicked, this, &RecordPanel::byRecords);
    connect(m_optTime, &QRadioButton::clicked, this, &RecordPanel::byTime);
    hide();
}

void RecordPanel::open() {
    // Exclusive options refuse to clear the checked one; lift the rule while clearing.
    for (QRadioButton* option : {m_optTime, m_optRec}) {
        option->setAutoExclusive(false);
        option->setChecked(false);
        option->setAutoExclusive(true);
    }
    show();
    raise();
}

void RecordPanel::byRecords() {
    const std::optional<QString> answer =
        m_platform.input(QStringLiteral("Enter the Records to record\r\n(1 <= Records  ) "),
                         QStringLiteral("Input Records"), QStringLiteral("10"));
    if (!answer || answer->trimmed().isEmpty())
        return;
    const std::optional<qint64> target = recording::parseRecordCount(*answer);
    if (!target) {
        m_platform.message(
            QStringLiteral("\"%1\" is not a number of records. Enter a whole number such as 10.")
                .arg(answer->trimmed()),
            Platform::Icon::Warning);
        return;
    }
    m_recorder.startByRecords(*target);
    hide();
}

void RecordPanel::byTime() {
    m_stopTime.fill();
    m_stopTime.show();
    m_stopTime.raise();
    hide();
}

} // namespace app
