#include "app/window/controlpanel.h"

#include "app/window/desktopplatform.h"
#include "app/window/drawnicons.h"
#include "app/window/keyshape.h"
#include "app/window/lcdgeometry.h"
#include "app/window/lcdwidget.h"
#include "app/window/listkeys.h"
#include "app/window/panelkeys.h"
#include "app/window/windowscale.h"
#include "live/livepoll.h"
#include "live/readout.h"
#include "serial/linkthread.h"
#include "serial/meterprofile.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

#include <cmath>
#include <numbers>

namespace app {

namespace {

struct ToolbarKey {
    const char* key;
    const char* toolTip;
    // None of these edits text: Ctrl with A, C, V, X, Z, Y, K, E, D, H, U, W stays the text
    // boxes'. Erasing the logger gets Shift as well, as no key that slips should start it.
    QKeyCombination shortcut;
};
constexpr ToolbarKey kToolbarKeys[] = {
    {"Save", "Save Data", Qt::CTRL | Qt::Key_S},
    {"Open", "Open File to Read", Qt::CTRL | Qt::Key_O},
    {"RTC", "Real Time Clock", Qt::CTRL | Qt::Key_T},
    {"Memory", "Data Logger", Qt::CTRL | Qt::Key_M},
    {"Alarm", "Alarm", Qt::CTRL | Qt::Key_L},
    {"Intv", "Sampling Rate", Qt::CTRL | Qt::Key_I},
    {"Erase", "Erase Memory", Qt::CTRL | Qt::SHIFT | Qt::Key_E},
    {"PortSel", "Port Connection", Qt::CTRL | Qt::Key_P},
};
const QString kPortSel = QStringLiteral("PortSel");

// Panels that own the window while shown: the toolbar refuses clicks meanwhile.
constexpr const char* kModalPanels[] = {"PicRTC", "PicAlarm", "PicRec", "PicSampling"};

QRect pixels(const QRectF& twips) {
    const QRectF r(twips.topLeft() / kTwipsPerPixel, twips.size() / kTwipsPerPixel);
    return r.toRect();
}

} // namespace

ControlPanel::ControlPanel(serial::LinkThread& link, live::LiveState& live, Platform& platform,
                           std::function<double()> now, QWidget* parent)
    : QMainWindow(parent)
    , m_link(link)
    , m_live(live)
    , m_platform(platform)
    , m_now(std::move(now)) {
    setObjectName(QStringLiteral("ControlPanel"));
    setWindowTitle(QStringLiteral("QR512 Thermometer " QR512_VERSION));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    // The toolbar must not be hidden or dragged away by the main window's context menu.
    setContextMenuPolicy(Qt::NoContextMenu);

    m_scale = new WindowScale(this);
    buildToolbar();
    buildStatusBar();

    m_lcd = new LcdWidget(this);
    m_lcd->setGeometry(pixels(lcdArea()));

    auto* model = new QLabel(QStringLiteral("QR512"), this);
    model->setObjectName(QStringLiteral("Label2"));
    QFont modelFont = model->font();
    modelFont.setBold(true);
    modelFont.setPointSizeF(modelFont.pointSizeF() * 1.6);
    model->setFont(modelFont);
    model->setGeometry(12, 44, 110, 30);

    m_shapeStart = new KeyShape(KeyShape::Form::Ellipse, QColor(255, 192, 0), this);
    m_shapeStart->setObjectName(QStringLiteral("ShapeStart"));
    m_shapeStart->setToolTip(tr("Searching for the meter"));
    m_shapeStart->setAccessibleName(m_shapeStart->toolTip());
    m_shapeStart->setGeometry(128, 52, 14, 14);
    m_shapeStart->hide();

    m_keyExchange = new session::Exchange(m_link, *this, this);
    buildKeys();
    buildPortList();
    buildViewMenu();
    setTabChain();

    connect(&m_link, &serial::LinkThread::statusText, this,
            [this](const QString& text) { m_panels[3]->setText(text); });
    connect(&m_link, &serial::LinkThread::searchStarted, m_shapeStart, &QWidget::show);
    connect(&m_link, &serial::LinkThread::connected, this, [this](int, const QString& device) {
        // The meter found again frees a link left busy, never one an exchange still holds: it
        // gives the link (and the toolbar) back itself, and a second holder would share it.
        if (!exchangeHolds()) {
            m_toolbar->setEnabled(true);
            setLinkBusy(false);
        }
        m_panels[3]->setToolTip(device);
    });
    connect(&m_link, &serial::LinkThread::fixedPortFailed, this, [this](const QString& detail) {
        // The search has ended: the bar shows it before the message waits for the user.
        m_panels[3]->setText(QStringLiteral(" No COM"));
        m_panels[3]->setToolTip(QString());
        m_shapeStart->hide();
        m_platform.message(QStringLiteral("No device found, try again!"), Platform::Icon::Critical,
                           detail);
    });
    // Without the rights no search can ever succeed: say so once, while it goes on.
    connect(&m_link, &serial::LinkThread::portDenied, this, [this](const QString& message) {
        m_platform.message(message, Platform::Icon::Warning, QString());
    });
    connect(&m_live, &live::LiveState::frameDecoded, this, &ControlPanel::onFrame);
    connect(&m_live, &live::LiveState::lostChanged, this, [this](bool lost) {
        m_lcd->setLost(lost);
        updateReadout();
    });

    move(0, 0);
}

ControlPanel::~ControlPanel() = default;

void ControlPanel::setToolbarEnabled(bool enabled) {
    m_toolbar->setEnabled(enabled);
}

void ControlPanel::buildToolbar() {
    m_toolbar = new QToolBar(this);
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setIconSize(QSize(24, 24));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    addToolBar(Qt::TopToolBarArea, m_toolbar);
    for (const ToolbarKey& entry : kToolbarKeys) {
        const QString key = QString::fromLatin1(entry.key);
        const QString tip = QString::fromLatin1(entry.toolTip);
        QAction* action = m_toolbar->addAction(toolbarIcon(key), tip);
        action->setObjectName(key);
        action->setToolTip(tip);
        action->setShortcut(QKeySequence(entry.shortcut));
        // Features not built yet stay visibly unavailable rather than doing nothing.
        action->setEnabled(key == kPortSel);
        if (QWidget* button = m_toolbar->widgetForAction(action)) {
            button->setObjectName(key + QStringLiteral("Button"));
            button->setAccessibleName(tip);
            // A feature may change what a press does (Save stops a recording); the name follows.
            connect(action, &QAction::changed, button, [button, action] {
                if (button->accessibleName() != action->toolTip())
                    button->setAccessibleName(action->toolTip());
            });
            // Tool bars keep their buttons out of the Tab chain; these are the commands.
            button->setFocusPolicy(Qt::TabFocus);
            button->installEventFilter(this);
            m_toolButtons.append(button);
        }
        connect(action, &QAction::triggered, this, [this, key] { onToolbarKey(key); });
        m_actions.insert(key, action);
    }
    auto* quit = new QAction(QStringLiteral("Quit"), this);
    quit->setObjectName(QStringLiteral("Quit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, this, &QWidget::close);
    addAction(quit);
}

QString ControlPanel::toolTipWithShortcut(const QAction* action) {
    const QString keys = action->shortcut().toString(QKeySequence::NativeText);
    if (keys.isEmpty())
        return action->toolTip();
    return QStringLiteral("%1 (%2)").arg(action->toolTip(), keys);
}

void ControlPanel::buildStatusBar() {
    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    setStatusBar(bar);
    // Each panel as wide as the longest text it shows, the connection last with what is left;
    // where the four do not fit the window's width the bar's font steps down until they do.
    const QString longest[4] = {QStringLiteral("8888/88/88"), QStringLiteral("88:88:88"),
                                live::memoryText(88888), QStringLiteral("Connecting COM16…")};
    constexpr int kPadding = 6;  // frame and a little air inside a panel
    constexpr int kBetween = 10; // the bar's spacing around a panel
    QFont font = bar->font();
    for (double size = font.pointSizeF(); size > 6; size -= 0.5) {
        font.setPointSizeF(size);
        const QFontMetrics metrics(font);
        int total = 0;
        for (const QString& text : longest)
            total += metrics.horizontalAdvance(text) + kPadding + kBetween;
        if (total <= kClientWidth)
            break;
    }
    bar->setFont(font);
    const QFontMetrics metrics(font);
    for (int i = 0; i < 4; ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i + 1));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setMinimumWidth(metrics.horizontalAdvance(longest[i]) + kPadding);
        bar->addWidget(panel, i == 3 ? 1 : 0);
        m_panels[i] = panel;
    }
    m_panels[3]->setText(QStringLiteral("No COM"));
    m_clockTimer = new QTimer(this);
    m_clockTimer->setObjectName(QStringLiteral("StatusClock"));
    m_clockTimer->setInterval(1000);
    connect(m_clockTimer, &QTimer::timeout, this, &ControlPanel::updateClock);
    m_clockTimer->start();
    updateClock();
}

void ControlPanel::updateClock() {
    const QDateTime now = QDateTime::currentDateTime();
    for (const auto& [panel, text] : {std::pair{m_panels[0], now.toString(u"yyyy/MM/dd")},
                                      std::pair{m_panels[1], now.toString(u"HH:mm:ss")}})
        if (panel->text() != text)
            panel->setText(text);
}

void ControlPanel::buildPortList() {
    m_portList = new QComboBox(this);
    m_portList->setObjectName(QStringLiteral("TxtCOM"));
    m_portList->setEditable(false);
    m_portList->addItem(QStringLiteral("Auto"));
    for (int n = 1; n <= serial::profile::kPortSlots; ++n)
        m_portList->addItem(QStringLiteral("COM%1").arg(n));
    m_portList->setPlaceholderText(QStringLiteral("COM Port"));
    m_portList->setCurrentIndex(-1);
    m_portList->setAccessibleName(QStringLiteral("COM Port"));
    m_portList->setGeometry(185, 44, 110, 26);
    ListKeys::attach(m_portList);
    m_portList->installEventFilter(this);
    m_portList->hide();
    connect(m_portList, &QComboBox::activated, this, &ControlPanel::onPortChosen);
}

void ControlPanel::showNotice(const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("QR512"), text,
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("Notice"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void ControlPanel::markVirtualMeter() {
    setWindowTitle(windowTitle() + QStringLiteral(" — virtual meter"));
}

void ControlPanel::buildViewMenu() {
    // A button at the toolbar's free right end rather than a menu bar, which would push the
    // hand-placed window down.
    auto* button = new QToolButton(this);
    button->setObjectName(QStringLiteral("ViewButton"));
    button->setText(QStringLiteral("View"));
    button->setToolTip(QStringLiteral("View"));
    button->setAccessibleName(QStringLiteral("View"));
    button->setPopupMode(QToolButton::InstantPopup);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::TabFocus);
    button->setGeometry(kClientWidth - 44, 6, 40, 26);
    auto* menu = new QMenu(QStringLiteral("View"), button);
    menu->setObjectName(QStringLiteral("ViewMenu"));
    auto* group = new QActionGroup(menu);
    for (const int percent : {100, 150, 200}) {
        QAction* action = menu->addAction(QStringLiteral("%1 %").arg(percent));
        action->setObjectName(QStringLiteral("View%1").arg(percent));
        action->setCheckable(true);
        action->setChecked(percent == 100);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, percent] { setScalePercent(percent); });
    }
    connect(menu, &QMenu::aboutToShow, this, &ControlPanel::offerFittingSizes);
    button->setMenu(menu);
    m_toolButtons.append(button);
}

void ControlPanel::offerFittingSizes() {
    // 100 % is the designed size, offered on any screen.
    for (const int percent : {150, 200})
        findChild<QAction*>(QStringLiteral("View%1").arg(percent))
            ->setEnabled(m_scale->fits(percent / 100.0));
}

int ControlPanel::largestFittingPercent(int wanted) const {
    while (wanted > 100 && !m_scale->fits(wanted / 100.0))
        wanted -= 50;
    return wanted;
}

void ControlPanel::setScreenRoom(std::function<QSize()> room) {
    m_scale->setRoom(std::move(room));
    offerFittingSizes();
}

void ControlPanel::setScalePercent(int percent) {
    if (percent != 100 && percent != 150 && percent != 200)
        return;
    m_scale->apply(percent / 100.0);
    if (QAction* action = findChild<QAction*>(QStringLiteral("View%1").arg(percent)))
        action->setChecked(true);
    emit scaleChanged(percent);
}

int ControlPanel::scalePercent() const {
    return qRound(m_scale->factor() * 100);
}

void ControlPanel::rememberScale(QSettings& settings) {
    const QString key = QStringLiteral("view/scale");
    // A size not offered stays at 100 %. One kept on a larger screen opens at the largest that
    // fits this one; the kept one stays for the larger screen.
    setScalePercent(largestFittingPercent(settings.value(key, 100).toInt()));
    offerFittingSizes();
    connect(this, &ControlPanel::scaleChanged, this,
            [&settings, key](int percent) { settings.setValue(key, percent); });
}

void ControlPanel::setTabChain() {
    // Commands, then the port, the display and the keys as they lie on the meter.
    QList<QWidget*> chain = m_toolButtons;
    chain << m_portList << m_lcd;
    for (const live::Key key : m_keyOrder) {
        for (QWidget* part : m_keyParts[key]) {
            if (part->focusPolicy() & Qt::TabFocus) {
                chain << part;
                break;
            }
        }
    }
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

bool ControlPanel::toolTipEvent(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return false;
    auto* button = qobject_cast<QToolButton*>(watched);
    if (!button || !button->defaultAction())
        return false;
    const auto* help = static_cast<QHelpEvent*>(event);
    QToolTip::showText(help->globalPos(), toolTipWithShortcut(button->defaultAction()), button);
    return true;
}

void ControlPanel::setPortDevices(const QStringList& devices) {
    for (int n = 1; n <= serial::profile::kPortSlots; ++n)
        m_portList->setItemData(n, devices.value(n - 1), Qt::ToolTipRole);
}

void ControlPanel::setToolbarHandler(const QString& key, std::function<void()> handler) {
    QAction* action = m_actions.value(key);
    if (!action || key == kPortSel)
        return;
    action->setEnabled(bool(handler));
    m_handlers.insert(key, std::move(handler));
}

QAction* ControlPanel::toolbarAction(const QString& key) const {
    return m_actions.value(key);
}

void ControlPanel::hostPanel(QWidget* panel) {
    const QPoint at = panel->pos();
    panel->setParent(this);
    panel->move(at);
    panel->hide();
    PanelKeys::attach(panel);
}

bool ControlPanel::panelShown() const {
    for (const char* name : kModalPanels) {
        const auto* panel = findChild<QWidget*>(QString::fromLatin1(name));
        if (panel && panel->isVisibleTo(this))
            return true;
    }
    return false;
}

void ControlPanel::onToolbarKey(const QString& key) {
    if (panelShown())
        return;
    if (key == kPortSel) {
        m_portList->setVisible(m_portList->isHidden());
        if (m_portList->isVisible()) {
            m_portList->raise();
            m_portList->setFocus(Qt::OtherFocusReason);
        }
        return;
    }
    if (const auto handler = m_handlers.value(key))
        handler();
}

void ControlPanel::onPortChosen(int index) {
    const QString port = m_portList->itemText(index);
    if (!m_link.choosePort(port))
        return;
    // Opening a port that never answers takes a while: say what is going on meanwhile.
    if (port.startsWith(QLatin1String("COM")))
        m_panels[3]->setText(QStringLiteral("Connecting %1…").arg(port));
    m_portList->hide();
    m_live.setChannelCountFrozen(false);
}

void ControlPanel::onFrame() {
    m_lcd->setDisplay(m_live.display());
    updateReadout();
    updateKeyVisibility(m_live.channelCount());
    m_panels[2]->setText(live::memoryText(m_live.memoryCount()));
    m_shapeStart->hide();
    m_timing->setText(QString::number(holdCountdown(m_now() - m_keyDownTime)));
    // Frames come more often than seconds: the clock goes along with them, and its own timer
    // wakes the program only while no frame comes.
    updateClock();
    m_clockTimer->start();
}

void ControlPanel::updateReadout() {
    QStringList spoken = {live::readingsText(m_live.readingText(), m_live.channelCount(),
                                             m_live.displayUnit(), m_live.typeLetter())};
    spoken += live::litSymbolNames(m_live.display());
    spoken.removeAll(QString());
    const QString readout = spoken.join(QStringLiteral("; "));
    m_lcd->setReadout(m_live.lost() ? QStringLiteral("The meter is not answering. Last "
                                                     "readings: ") +
                                          readout
                                    : readout);
}

void ControlPanel::transmit(const QByteArray& code) {
    m_keyExchange->runOnce(
        [code](session::Exchange::Job& job) { live::sendKey(job.session, code); });
}

void ControlPanel::closeEvent(QCloseEvent* event) {
    // Nothing to save or ask: end the link (it cuts into any wait) and the program.
    m_link.stop();
    event->accept();
    QCoreApplication::quit();
}

} // namespace app
