#include "app/recording/recordingui.h"

#include "app/recording/recordpanel.h"
#include "app/window/controlpanel.h"
#include "app/window/desktopplatform.h"
#include "live/livepoll.h"
#include "recording/recorder.h"

#include <QAction>
#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

namespace app {

namespace {

constexpr int kPauseMessageMs = 10000;

// The "Save" key's picture while a recording runs: a red recording dot in a stop square.
QIcon stopRecordingIcon() {
    QPixmap pixmap(48, 48);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1.6));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(3, 3, 18, 18), 2, 2);
    p.setBrush(QColor(210, 30, 30));
    p.drawEllipse(QPointF(12, 12), 5.5, 5.5);
    return QIcon(pixmap);
}

QLabel* addLabel(QWidget* window, const char* name, const QRect& geometry) {
    auto* label = new QLabel(window);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    return label;
}

} // namespace

RecordingUi::RecordingUi(ControlPanel& window, live::LiveState& live, Platform& platform,
                         std::function<QDateTime()> now, QObject* parent)
    : QObject(parent)
    , m_window(window)
    , m_live(live)
    , m_platform(platform) {
    m_recorder =
        std::make_unique<recording::Recorder>(now, [this] { return recording::sampleOf(m_live); });

    m_fileName = addLabel(&window, "LblFileName", QRect(10, 524, 180, 20));
    m_status = addLabel(&window, "LblRecording", QRect(200, 524, 95, 20));
    m_count = addLabel(&window, "LblCount", QRect(10, 546, 285, 20));
    m_open = new QPushButton(QStringLiteral("Open"), &window);
    m_open->setObjectName(QStringLiteral("CmdOpen"));
    m_open->setGeometry(10, 570, 80, 28);

    m_stopTimePanel = new StopTimePanel(*m_recorder, platform, now);
    m_recordPanel = new RecordPanel(*m_recorder, platform, *m_stopTimePanel);
    window.hostPanel(m_stopTimePanel);
    window.hostPanel(m_recordPanel);

    if (QAction* save = window.toolbarAction(QStringLiteral("Save")))
        m_saveIcon = save->icon();
    m_stopIcon = stopRecordingIcon();
    window.setToolbarHandler(QStringLiteral("Save"), [this] { saveKey(); });

    connect(m_open, &QPushButton::clicked, this, &RecordingUi::openFile);
    connect(m_recorder.get(), &recording::Recorder::fileNameTextChanged, m_fileName,
            &QLabel::setText);
    connect(m_recorder.get(), &recording::Recorder::countTextChanged, m_count, &QLabel::setText);
    connect(m_recorder.get(), &recording::Recorder::statusTextChanged, m_status, &QLabel::setText);
    connect(m_recorder.get(), &recording::Recorder::recordingChanged, this,
            &RecordingUi::recordingChanged);
    // Shown after the tick or click that failed has ended, so that the box's own event loop
    // never runs a tick inside a tick.
    for (const auto signal :
         {&recording::Recorder::errorOccurred, &recording::Recorder::warningOccurred})
        connect(
            m_recorder.get(), signal, this,
            [this](const QString& text) { m_platform.message(text, Platform::Icon::Warning); },
            Qt::QueuedConnection);
    connect(
        m_recorder.get(), &recording::Recorder::noticeOccurred, this,
        [this](const QString& text) { m_platform.message(text, Platform::Icon::Information); },
        Qt::QueuedConnection);

    // Said in passing: a meter that comes and goes must not stack up boxes to click away.
    connect(m_recorder.get(), &recording::Recorder::pauseChanged, this,
            [&window](bool, const QString& text) {
                window.statusBar()->showMessage(text, kPauseMessageMs);
            });

    window.installEventFilter(this);

    m_timer2 = new QTimer(this);
    m_timer2->setObjectName(QStringLiteral("Timer2"));
    m_timer2->setInterval(1000);
    connect(m_timer2, &QTimer::timeout, m_recorder.get(), &recording::Recorder::tick);
    // It ticks while a recording runs, from its start on; between recordings it rests, so an
    // idle window is not woken every second for nothing.
    connect(m_recorder.get(), &recording::Recorder::recordingChanged, m_timer2,
            [timer = m_timer2](bool recording) {
                if (recording)
                    timer->start();
                else
                    timer->stop();
            });
}

RecordingUi::~RecordingUi() = default;

bool RecordingUi::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close && m_recorder->isRecording()) {
        // The usual queued message would never be shown: the program quits right after.
        QString failure;
        const auto connection = connect(m_recorder.get(), &recording::Recorder::errorOccurred, this,
                                        [&failure](const QString& text) { failure = text; });
        m_recorder->finishRecording();
        disconnect(connection);
        if (!failure.isEmpty())
            m_platform.message(failure, Platform::Icon::Warning);
    }
    return QObject::eventFilter(watched, event);
}

void RecordingUi::saveKey() {
    if (m_recorder->isRecording()) {
        m_recorder->finishRecording();
    } else if (!m_live.hasFrame()) {
        // Rows need readings: without a frame there are none, only made-up values.
        m_platform.message(QStringLiteral("No readings from the meter yet: a recording can "
                                          "start once the display shows them."),
                           Platform::Icon::Information);
    } else {
        m_recordPanel->open();
    }
}

void RecordingUi::openFile() {
    base::chooseAndOpenInEditor(m_platform);
}

void RecordingUi::recordingChanged(bool recording) {
    if (QAction* save = m_window.toolbarAction(QStringLiteral("Save"))) {
        const QString tip =
            recording ? QStringLiteral("Stop Recording") : QStringLiteral("Save Data");
        save->setIcon(recording ? m_stopIcon : m_saveIcon);
        save->setText(tip);
        save->setToolTip(tip);
    }
    if (recording) {
        if (auto* rec = m_window.findChild<QWidget*>(QStringLiteral("LblRec")))
            rec->setVisible(true);
    }
}

} // namespace app
