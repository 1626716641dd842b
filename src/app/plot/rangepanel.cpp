#include "app/plot/rangepanel.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace app {

namespace {

// A box that takes only the characters of its kind: typed keys outside them are discarded,
// as is the rest of a paste. Keys that type nothing (arrows, Delete, Tab) work as usual.
class FilteredLineEdit : public QLineEdit {
public:
    FilteredLineEdit(const QString& allowed, QWidget* parent)
        : QLineEdit(parent)
        , m_allowed(allowed) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Paste)) {
            QString text = QGuiApplication::clipboard()->text();
            text.removeIf([this](QChar c) { return !m_allowed.contains(c); });
            insert(text);
            return;
        }
        const QString text = event->text();
        const bool typesText = !text.isEmpty() && text.at(0).isPrint() &&
                               !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (typesText && !m_allowed.contains(text.at(0))) {
            event->accept(); // discarded
            return;
        }
        QLineEdit::keyPressEvent(event);
    }

private:
    QString m_allowed;
};

QLineEdit* box(const char* name, const QString& allowed, const QString& accessible,
               QWidget* parent) {
    auto* edit = new FilteredLineEdit(allowed, parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setAccessibleName(accessible);
    edit->setMaxLength(12);
    return edit;
}

QString number(double value) {
    return QString::number(value, 'g', 10);
}

} // namespace

RangePanel::RangePanel(QWidget* parent)
    : QFrame(parent) {
    setObjectName(QStringLiteral("PicRange"));
    setAccessibleName(QStringLiteral("Range"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);

    const QString digits = QStringLiteral("0123456789");
    m_first = box("TxtR1", digits, QStringLiteral("First record"), this);
    m_last = box("TxtR2", digits, QStringLiteral("Last record"), this);
    m_low = box("TxtT1", digits + u'.', QStringLiteral("Lowest value"), this);
    m_high = box("TxtT2", digits + u'.', QStringLiteral("Highest value"), this);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("CmdOK"));
    m_ok->setAutoDefault(true);
    m_fit = new QPushButton(QStringLiteral("Fit"), this);
    m_fit->setObjectName(QStringLiteral("CmdFit"));
    m_fit->setToolTip(QStringLiteral("Fit the values to the records typed (F)"));

    auto* grid = new QGridLayout(this);
    const auto label = [this](const QString& text, QWidget* buddy) {
        auto* caption = new QLabel(text, this);
        caption->setBuddy(buddy);
        return caption;
    };
    grid->addWidget(label(QStringLiteral("&Records"), m_first), 0, 0);
    grid->addWidget(m_first, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("to"), this), 0, 2);
    grid->addWidget(m_last, 0, 3);
    grid->addWidget(label(QStringLiteral("&Values"), m_low), 1, 0);
    grid->addWidget(m_low, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("to"), this), 1, 2);
    grid->addWidget(m_high, 1, 3);
    grid->addWidget(m_fit, 2, 1);
    grid->addWidget(m_ok, 2, 3);
    setTabOrder(m_first, m_last);
    setTabOrder(m_last, m_low);
    setTabOrder(m_low, m_high);
    setTabOrder(m_high, m_fit);
    setTabOrder(m_fit, m_ok);

    connect(m_ok, &QPushButton::clicked, this, &RangePanel::accepted);
    connect(m_fit, &QPushButton::clicked, this, &RangePanel::fitRequested);
    for (QLineEdit* edit : {m_first, m_last, m_low, m_high})
        connect(edit, &QLineEdit::returnPressed, this, &RangePanel::accepted);
    hide();
}

void RangePanel::open(const plot::PlotView& view) {
    m_low->setText(number(view.low));
    m_high->setText(number(view.high));
    m_first->setText(QString::number(view.r1));
    m_last->setText(QString::number(view.r2));
    adjustSize();
    show();
    raise();
    m_first->setFocus();
    m_first->selectAll();
}

void RangePanel::close() {
    const bool hadFocus = isAncestorOf(QApplication::focusWidget());
    hide();
    if (hadFocus && parentWidget())
        parentWidget()->setFocus();
}

QString RangePanel::lowText() const {
    return m_low->text();
}
QString RangePanel::highText() const {
    return m_high->text();
}
QString RangePanel::firstText() const {
    return m_first->text();
}
QString RangePanel::lastText() const {
    return m_last->text();
}

void RangePanel::setValues(double low, double high) {
    m_low->setText(number(low));
    m_high->setText(number(high));
}

void RangePanel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        emit dismissed();
        return;
    }
    QFrame::keyPressEvent(event);
}

} // namespace app
