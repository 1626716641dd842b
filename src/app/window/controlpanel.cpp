#include "app/window/controlpanel.h"

#include "app/window/desktopplatform.h"
#include "app/window/keyshape.h"
#include "app/window/lcdgeometry.h"
#include "app/window/lcdwidget.h"
#include "link/linkthread.h"
#include "live/livepoll.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <cmath>
#include <numbers>

namespace app {

namespace {

struct ToolbarKey {
    const char* key;
    const char* toolTip;
};
constexpr ToolbarKey kToolbarKeys[] = {
    {"Save", "Save Data"},      {"Open", "Open File to Read"},
    {"RTC", "Real Time Clock"}, {"Memory", "Data Logger"},
    {"Alarm", "Alarm"},         {"Intv", "Sampling Rate"},
    {"Erase", "Erase Memory"},  {"PortSel", "Port Connection"},
};
const QString kPortSel = QStringLiteral("PortSel");

// Panels that own the window while shown: the toolbar refuses clicks meanwhile.
constexpr const char* kModalPanels[] = {"PicRTC", "PicAlarm", "PicRec", "PicSampling"};

const QColor kKeyOrange(255, 128, 0);
const QColor kPressed(255, 255, 255);
const QColor kReleasedCaption(0, 0, 0);

QRect pixels(const QRectF& twips) {
    const QRectF r(twips.topLeft() / kTwipsPerPixel, twips.size() / kTwipsPerPixel);
    return r.toRect();
}

// The toolbar's pictures, drawn as vectors so the program needs no image files.
QIcon toolbarIcon(const QString& key) {
    QPixmap pixmap(48, 48);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (key == QLatin1String("Save")) {
        p.setBrush(QColor(70, 110, 190));
        p.drawRoundedRect(QRectF(3, 3, 18, 18), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(7, 3, 10, 6));
        p.drawRect(QRectF(6, 13, 12, 8));
    } else if (key == QLatin1String("Open")) {
        QPainterPath folder;
        folder.moveTo(2, 6);
        folder.lineTo(9, 6);
        folder.lineTo(11, 8);
        folder.lineTo(21, 8);
        folder.lineTo(21, 20);
        folder.lineTo(2, 20);
        folder.closeSubpath();
        p.setBrush(QColor(235, 190, 80));
        p.drawPath(folder);
    } else if (key == QLatin1String("RTC")) {
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(12, 12), 9, 9);
        p.drawLine(QPointF(12, 12), QPointF(12, 6));
        p.drawLine(QPointF(12, 12), QPointF(16, 14));
    } else if (key == QLatin1String("Memory")) {
        p.setBrush(QColor(60, 60, 60));
        p.drawRect(QRectF(6, 5, 12, 14));
        for (int i = 0; i < 4; ++i) {
            const double y = 7 + i * 3.3;
            p.drawLine(QPointF(3, y), QPointF(6, y));
            p.drawLine(QPointF(18, y), QPointF(21, y));
        }
    } else if (key == QLatin1String("Alarm")) {
        QPainterPath bell;
        bell.moveTo(5, 17);
        bell.cubicTo(7, 15, 6, 5, 12, 5);
        bell.cubicTo(18, 5, 17, 15, 19, 17);
        bell.closeSubpath();
        p.setBrush(QColor(230, 180, 40));
        p.drawPath(bell);
        p.drawEllipse(QPointF(12, 19), 2, 2);
    } else if (key == QLatin1String("Intv")) {
        QPainterPath glass;
        glass.moveTo(6, 3);
        glass.lineTo(18, 3);
        glass.lineTo(12, 12);
        glass.lineTo(18, 21);
        glass.lineTo(6, 21);
        glass.lineTo(12, 12);
        glass.closeSubpath();
        p.setBrush(QColor(220, 200, 150));
        p.drawPath(glass);
    } else if (key == QLatin1String("Erase")) {
        p.setBrush(QColor(200, 60, 50));
        p.drawRect(QRectF(6, 7, 12, 14));
        p.drawLine(QPointF(4, 6), QPointF(20, 6));
        p.drawLine(QPointF(10, 3), QPointF(14, 3));
    } else if (key == kPortSel) {
        p.setBrush(QColor(90, 90, 90));
        p.drawRoundedRect(QRectF(6, 9, 12, 9), 2, 2);
        p.drawLine(QPointF(9, 9), QPointF(9, 4));
        p.drawLine(QPointF(15, 9), QPointF(15, 4));
        p.drawLine(QPointF(12, 18), QPointF(12, 22));
    }
    return QIcon(pixmap);
}

QPixmap keyPicture(live::Key key) {
    QPixmap pixmap(56, 56);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 2.2, Qt::SolidLine, Qt::RoundCap));
    if (key == live::Key::Power) {
        p.drawArc(QRectF(6, 7, 16, 16), 60 * 16, -300 * 16);
        p.drawLine(QPointF(14, 4), QPointF(14, 14));
    } else {
        p.drawEllipse(QPointF(14, 14), 5, 5);
        for (int i = 0; i < 8; ++i) {
            const double a = i * std::numbers::pi / 4;
            p.drawLine(QPointF(14 + 8 * std::cos(a), 14 + 8 * std::sin(a)),
                       QPointF(14 + 11 * std::cos(a), 14 + 11 * std::sin(a)));
        }
    }
    return pixmap;
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
    m_shapeStart->setGeometry(128, 52, 14, 14);
    m_shapeStart->hide();

    m_keyExchange = new Exchange(m_link, *this, this);
    buildKeys();
    buildPortList();

    connect(&m_link, &serial::LinkThread::statusText, this,
            [this](const QString& text) { m_panels[3]->setText(text); });
    connect(&m_link, &serial::LinkThread::searchStarted, m_shapeStart, &QWidget::show);
    connect(&m_link, &serial::LinkThread::connected, this, [this](int, const QString& device) {
        m_toolbar->setEnabled(true);
        setLinkBusy(false);
        m_panels[3]->setToolTip(device);
    });
    connect(&m_link, &serial::LinkThread::fixedPortFailed, this, [this](const QString& detail) {
        m_platform.message(QStringLiteral("No device found, try again!"), Platform::Icon::Critical,
                           detail);
    });
    // Without the rights no search can ever succeed: say so once, while it goes on.
    connect(&m_link, &serial::LinkThread::portDenied, this, [this](const QString& message) {
        m_platform.message(message, Platform::Icon::Warning, QString());
    });
    connect(&m_live, &live::LiveState::frameDecoded, this, &ControlPanel::onFrame);

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
        // Features not built yet stay visibly unavailable rather than doing nothing.
        action->setEnabled(key == kPortSel);
        if (QWidget* button = m_toolbar->widgetForAction(action)) {
            button->setObjectName(key + QStringLiteral("Button"));
            button->setAccessibleName(tip);
        }
        connect(action, &QAction::triggered, this, [this, key] { onToolbarKey(key); });
        m_actions.insert(key, action);
    }
}

void ControlPanel::buildStatusBar() {
    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    setStatusBar(bar);
    const int widths[4] = {66, 52, 82, 0};
    for (int i = 0; i < 4; ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i + 1));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (widths[i] > 0)
            panel->setMinimumWidth(widths[i]);
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
    m_panels[0]->setText(now.toString(QStringLiteral("yyyy/MM/dd")));
    m_panels[1]->setText(now.toString(QStringLiteral("HH:mm:ss")));
}

void ControlPanel::buildKeys() {
    using live::Key;
    const auto place = [](int column, int row) {
        static constexpr int kTops[] = {316, 366, 416, 480};
        return QPoint(10 + column * 73, kTops[row]);
    };

    // The eight captioned keys, in two rows of four as on the meter.
    const Key captioned[] = {Key::Hold, Key::Time, Key::Unit, Key::Rel,
                             Key::Rec,  Key::T1T2, Key::T3T4, Key::Max};
    for (int i = 0; i < 8; ++i) {
        const live::KeyInfo& info = live::keyInfo(captioned[i]);
        auto* button = new QPushButton(QString::fromLatin1(info.caption), this);
        button->setObjectName(QString::fromLatin1(info.objectName));
        button->setAccessibleName(button->text());
        button->setGeometry(QRect(place(i % 4, i / 4), QSize(66, 40)));
        QPalette palette = button->palette();
        palette.setColor(QPalette::ButtonText, kReleasedCaption);
        button->setPalette(palette);
        button->installEventFilter(this);
        m_keys[captioned[i]].button = button;
        m_keyParts[captioned[i]] = {button};
        m_keyOfWidget.insert(button, captioned[i]);
    }

    // The light, power and limit keys: a filled shape with a label (and a picture) on it.
    struct ShapeKey {
        Key key;
        const char* shapeName;
        const char* pictureName; // nullptr when the key has a caption instead
        const char* accessibleName;
        int column;
    };
    const ShapeKey shaped[] = {{Key::Power, "CmdPwr", "ImaPwr", "POWER", 0},
                               {Key::Light, "CmdLight", "ImaLight", "LIGHT", 1},
                               {Key::Limit, "CmdLimit", nullptr, "LIMIT", 2}};
    for (const ShapeKey& entry : shaped) {
        const live::KeyInfo& info = live::keyInfo(entry.key);
        const QRect area(place(entry.column, 2), QSize(66, 48));
        auto* shape = new KeyShape(KeyShape::Form::RoundedRect, kKeyOrange, this);
        shape->setObjectName(QString::fromLatin1(entry.shapeName));
        shape->setGeometry(area);
        auto* label = new QLabel(QString::fromLatin1(info.caption), this);
        label->setObjectName(QString::fromLatin1(info.objectName));
        label->setAlignment(Qt::AlignCenter);
        label->setGeometry(area);
        if (label->text().isEmpty())
            label->setAccessibleName(QString::fromLatin1(entry.accessibleName));
        label->installEventFilter(this);
        m_keys[entry.key].shape = shape;
        m_keyParts[entry.key] = {shape, label};
        m_keyOfWidget.insert(label, entry.key);
        if (entry.pictureName) {
            // The picture is decoration: a press on it sends nothing (the meter's POWER key
            // must not go off by a stray click on its symbol); only the key around it does.
            auto* picture = new QLabel(this);
            picture->setObjectName(QString::fromLatin1(entry.pictureName));
            picture->setPixmap(keyPicture(entry.key));
            picture->setAccessibleName(QString::fromLatin1(entry.accessibleName));
            picture->setGeometry(QRect(area.center() - QPoint(13, 13), QSize(28, 28)));
            picture->installEventFilter(this);
            m_keyParts[entry.key].append(picture);
            m_pictureOfWidget.insert(picture, entry.key);
        }
    }

    m_timing = new QLabel(QStringLiteral("3"), this);
    m_timing->setObjectName(QStringLiteral("LblTiming"));
    m_timing->setAlignment(Qt::AlignCenter);
    QFont timingFont = m_timing->font();
    timingFont.setBold(true);
    timingFont.setPointSizeF(timingFont.pointSizeF() * 2);
    m_timing->setFont(timingFont);
    m_timing->setGeometry(QRect(place(3, 2), QSize(66, 48)));
    m_timing->hide();

    // The POWER combinations have no long form: a click sends them.
    const Key combinations[] = {Key::PowerUnit, Key::PowerHold, Key::PowerRel};
    for (int i = 0; i < 3; ++i) {
        const Key key = combinations[i];
        const live::KeyInfo& info = live::keyInfo(key);
        auto* button = new QPushButton(QString::fromLatin1(info.caption), this);
        button->setObjectName(QString::fromLatin1(info.objectName));
        button->setAccessibleName(button->text());
        button->setGeometry(10 + i * 96, place(0, 3).y(), 88, 36);
        connect(button, &QPushButton::clicked, this, [this, key] {
            if (m_linkBusy)
                return;
            transmit(live::keyCode(key, false));
        });
        m_keyParts[key] = {button};
    }
}

void ControlPanel::buildPortList() {
    m_portList = new QComboBox(this);
    m_portList->setObjectName(QStringLiteral("TxtCOM"));
    m_portList->setEditable(false);
    m_portList->addItem(QStringLiteral("Auto"));
    for (int n = 1; n <= 16; ++n)
        m_portList->addItem(QStringLiteral("COM%1").arg(n));
    m_portList->setPlaceholderText(QStringLiteral("COM Port"));
    m_portList->setCurrentIndex(-1);
    m_portList->setAccessibleName(QStringLiteral("COM Port"));
    m_portList->setGeometry(185, 44, 110, 26);
    m_portList->installEventFilter(this);
    m_portList->hide();
    connect(m_portList, &QComboBox::activated, this, &ControlPanel::onPortChosen);
}

void ControlPanel::setPortDevices(const QStringList& devices) {
    for (int n = 1; n <= 16; ++n)
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
        if (m_portList->isVisible())
            m_portList->raise();
        return;
    }
    if (const auto handler = m_handlers.value(key))
        handler();
}

void ControlPanel::onPortChosen(int index) {
    if (!m_link.choosePort(m_portList->itemText(index)))
        return;
    m_portList->hide();
    m_live.setChannelCountFrozen(false);
}

void ControlPanel::onFrame() {
    m_lcd->setDisplay(m_live.display());
    updateKeyVisibility(m_live.channelCount());
    m_panels[2]->setText(live::memoryText(m_live.memoryCount()));
    m_shapeStart->hide();
    m_timing->setText(QString::number(holdCountdown(m_now() - m_keyDownTime)));
}

void ControlPanel::updateKeyVisibility(int channelCount) {
    if (channelCount != 1 && channelCount != 2 && channelCount != 4)
        return;
    using live::Key;
    const bool four = channelCount == 4;
    const auto show = [this](Key key, bool shown) {
        for (QWidget* part : m_keyParts[key])
            part->setVisible(shown);
    };
    show(Key::T1T2, channelCount >= 2);
    show(Key::T3T4, four);
    show(Key::Time, four);
    show(Key::Light, four);
    show(Key::Limit, four);
    show(Key::PowerHold, !four);
    show(Key::PowerRel, !four);
    show(Key::PowerUnit, !four);
}

int ControlPanel::holdCountdown(double heldSeconds) {
    // A reading that went backwards or is not a number counts as no time held.
    const double whole = heldSeconds >= 0 ? std::trunc(heldSeconds) : 0.0;
    return 3 - int(std::fmod(whole, 4.0));
}

bool ControlPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_portList) {
        // Only a choice from the list counts: typing, arrows and the wheel would pick a port
        // on their own, so only the keys that open the list get through.
        if (event->type() == QEvent::Wheel)
            return true;
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool opens = key->key() == Qt::Key_F4 || key->key() == Qt::Key_Space ||
                               ((key->key() == Qt::Key_Down || key->key() == Qt::Key_Up) &&
                                (key->modifiers() & Qt::AltModifier));
            return !opens;
        }
        return false;
    }

    if (const auto picture = m_pictureOfWidget.constFind(watched);
        picture != m_pictureOfWidget.constEnd())
        return pictureEvent(picture.value(), event);

    const auto it = m_keyOfWidget.constFind(watched);
    if (it == m_keyOfWidget.constEnd())
        return QMainWindow::eventFilter(watched, event);
    const live::Key key = it.value();
    // Labels have nothing of their own to do with a press; buttons draw themselves pressed.
    const bool consume = !qobject_cast<QPushButton*>(watched);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        // A second mouse button pressed during a hold is part of the same press.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!(mouse->buttons() & ~mouse->button()))
            keyDown(key);
        return consume;
    }
    case QEvent::MouseButtonRelease:
        // The key is sent when the last button comes up.
        if (!static_cast<QMouseEvent*>(event)->buttons())
            keyUp(key);
        return consume;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto* press = static_cast<QKeyEvent*>(event);
        if (press->key() == Qt::Key_Space && !press->isAutoRepeat()) {
            if (event->type() == QEvent::KeyPress)
                keyDown(key);
            else
                keyUp(key);
        }
        return false;
    }
    default:
        return false;
    }
}

bool ControlPanel::pictureEvent(live::Key key, QEvent* event) {
    // The power picture shows the press on its key's shape; the light picture shows none, as
    // nothing happens: a white key that sends nothing would look like a lost press.
    const bool recolours = key == live::Key::Power;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (recolours && !m_linkBusy)
            m_keys[key].shape->setFillColor(kPressed);
        return true;
    case QEvent::MouseButtonRelease:
        if (recolours && !static_cast<QMouseEvent*>(event)->buttons() && m_heldKey != key)
            m_keys[key].shape->setFillColor(kKeyOrange);
        return true;
    default:
        return false;
    }
}

void ControlPanel::keyDown(live::Key key) {
    if (m_linkBusy)
        return;
    // A release that never came (the mouse was taken away mid-press) must not lock the keys.
    if (m_heldKey && *m_heldKey != key)
        setKeyFeedback(*m_heldKey, false);
    m_heldKey = key;
    m_keyDownTime = m_now();
    setKeyFeedback(key, true);
    m_timing->setVisible(key != live::Key::Power);
}

void ControlPanel::keyUp(live::Key key) {
    // The press was ignored (the link was busy): its release sends nothing either, or it would
    // be timed from an older press and could turn into a long press.
    if (!m_heldKey || *m_heldKey != key)
        return;
    m_heldKey.reset();
    setKeyFeedback(key, false);
    m_timing->hide();
    if (m_linkBusy)
        return;
    const double held = m_now() - m_keyDownTime;
    transmit(live::keyCode(key, live::isLongPress(held)));
}

void ControlPanel::setKeyFeedback(live::Key key, bool pressed) {
    const KeyWidgets& widgets = m_keys[key];
    if (widgets.button) {
        QPalette palette = widgets.button->palette();
        palette.setColor(QPalette::ButtonText, pressed ? kPressed : kReleasedCaption);
        widgets.button->setPalette(palette);
    }
    if (widgets.shape)
        widgets.shape->setFillColor(pressed ? kPressed : kKeyOrange);
}

void ControlPanel::transmit(const QByteArray& code) {
    m_keyExchange->runOnce([code](Exchange::Job& job) { live::sendKey(job.session, code); });
}

void ControlPanel::closeEvent(QCloseEvent* event) {
    // Nothing to save or ask: end the link (it cuts into any wait) and the program.
    m_link.stop();
    event->accept();
    QCoreApplication::quit();
}

} // namespace app
