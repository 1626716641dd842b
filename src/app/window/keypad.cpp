// ControlPanel's keypad: the keys built as on the meter, which of them a meter with one, two or
// four channels shows, and the press feedback and codes driven from their mouse and key events.

#include "app/window/controlpanel.h"
#include "app/window/drawnicons.h"
#include "app/window/keyshape.h"
#include "app/window/pressaccessible.h"
#include "app/window/windowscale.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include <cmath>

namespace app {

namespace {

const QColor kKeyOrange(255, 128, 0);
const QColor kPressed(255, 255, 255);
// On the light grey of a pressed button: dark enough to read, and plainly not the black of
// a key at rest.
const QColor kPressedCaption(0, 0, 160);
const QColor kReleasedCaption(0, 0, 0);

QPoint keyPlace(int column, int row) {
    static constexpr int kTops[] = {316, 366, 416, 480};
    return QPoint(10 + column * 73, kTops[row]);
}

} // namespace

void ControlPanel::placeKeys() {
    // Shown keys close up, row by row, so that a meter with fewer channels leaves no holes.
    int captioned = 0;
    int shaped = 0;
    for (const live::Key key : m_keyOrder) {
        const KeyWidgets& widgets = m_keys[key];
        QList<QWidget*>& parts = m_keyParts[key];
        if (parts.isEmpty() || parts.first()->isHidden())
            continue;
        if (widgets.button) {
            m_scale->move(widgets.button, keyPlace(captioned % 4, captioned / 4));
            ++captioned;
        } else if (widgets.shape) {
            const QPoint shift = keyPlace(shaped, 2) - WindowScale::basePos(widgets.shape);
            for (QWidget* part : parts)
                m_scale->move(part, WindowScale::basePos(part) + shift);
            ++shaped;
        }
    }
}

void ControlPanel::buildKeys() {
    using live::Key;
    const auto place = keyPlace;
    const auto shortPress = [this](Key key) {
        return [this, key] {
            if (!m_linkBusy)
                transmit(live::keyCode(key, false));
        };
    };

    // The eight captioned keys, in two rows of four as on the meter.
    const Key captioned[] = {Key::Hold, Key::Time, Key::Unit, Key::Rel,
                             Key::Rec,  Key::T1T2, Key::T3T4, Key::Max};
    for (int i = 0; i < 8; ++i) {
        const live::KeyInfo& info = live::keyInfo(captioned[i]);
        auto* button = new QPushButton(QString::fromLatin1(info.caption), this);
        PressAccessible::attach(button, shortPress(captioned[i]));
        button->setObjectName(QString::fromLatin1(info.objectName));
        button->setAccessibleName(button->text());
        button->setGeometry(QRect(place(i % 4, i / 4), QSize(66, 40)));
        QPalette palette = button->palette();
        palette.setColor(QPalette::ButtonText, kReleasedCaption);
        button->setPalette(palette);
        button->installEventFilter(this);
        m_keyOrder.append(captioned[i]);
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
        PressAccessible::attach(label, shortPress(entry.key));
        label->setObjectName(QString::fromLatin1(info.objectName));
        label->setAlignment(Qt::AlignCenter);
        label->setGeometry(area);
        label->setAccessibleName(QString::fromLatin1(entry.accessibleName));
        label->setFocusPolicy(Qt::TabFocus);
        label->installEventFilter(this);
        m_keyOrder.append(entry.key);
        m_keys[entry.key].shape = shape;
        m_keyParts[entry.key] = {shape, label};
        m_keyOfWidget.insert(label, entry.key);
        if (entry.pictureName) {
            // The picture is decoration: a press on it sends nothing (the meter's POWER key
            // must not go off by a stray click on its symbol); only the key around it does.
            // It sits small at the top so that the face is mostly key.
            auto* picture = new QLabel(this);
            picture->setObjectName(QString::fromLatin1(entry.pictureName));
            picture->setPixmap(keyPicture(entry.key));
            picture->setScaledContents(true);
            picture->setAccessibleName(QString::fromLatin1(entry.accessibleName));
            picture->setGeometry(QRect(area.center().x() - 9, area.top() + 4, 18, 18));
            // The name under the picture tells the keys apart at a glance.
            label->setText(QString::fromLatin1(entry.accessibleName));
            label->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
            label->setMargin(5);
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
        m_keyOrder.append(key);
    }
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
    placeKeys();
}

int ControlPanel::holdCountdown(double heldSeconds) {
    // A reading that went backwards or is not a number counts as no time held.
    const double whole = heldSeconds >= 0 ? std::trunc(heldSeconds) : 0.0;
    return 3 - int(std::fmod(whole, 4.0));
}

bool ControlPanel::eventFilter(QObject* watched, QEvent* event) {
    if (toolTipEvent(watched, event))
        return true;

    if (const auto picture = m_pictureOfWidget.constFind(watched);
        picture != m_pictureOfWidget.constEnd())
        return pictureEvent(picture.value(), event);

    if (watched == m_portList && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        // Escape puts the shown list away as PortSel does, back on the button that showed it.
        m_portList->hide();
        if (auto* button = findChild<QWidget*>(QStringLiteral("PortSelButton")))
            button->setFocus(Qt::OtherFocusReason);
        return true;
    }

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
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        if (KeyShape* shape = m_keys[key].shape)
            shape->setFocusMark(event->type() == QEvent::FocusIn);
        return false;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto* press = static_cast<QKeyEvent*>(event);
        if (press->key() == Qt::Key_Space && !press->isAutoRepeat()) {
            // With detectable auto-repeat the X server repeats a held key as presses alone,
            // which are not marked as repeats: a press of the key already held is one, and
            // timing it anew would turn every long press into a short one.
            if (event->type() == QEvent::KeyPress && m_heldKey != key)
                keyDown(key);
            else if (event->type() == QEvent::KeyRelease)
                keyUp(key);
        }
        return false;
    }
    default:
        return false;
    }
}

bool ControlPanel::pictureEvent(live::Key, QEvent* event) {
    // Nothing happens on the picture, so nothing looks pressed either: a key that turned white
    // and sent nothing would look like a lost press.
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
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
        palette.setColor(QPalette::ButtonText, pressed ? kPressedCaption : kReleasedCaption);
        widgets.button->setPalette(palette);
    }
    if (widgets.shape)
        widgets.shape->setFillColor(pressed ? kPressed : kKeyOrange);
}

} // namespace app
