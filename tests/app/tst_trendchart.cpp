// The trend chart in the main window: View → Trend shows and hides it beside the display,
// widening the window at every view size, the choice kept for the next run; a screen reader
// hears the latest readings and the span shown.

#include "app/trend/trendchart.h"
#include "app/trend/trendview.h"
#include "windowrig.h"

#include <QMenu>
#include <QSettings>

using namespace windowrig;

class TestTrendChart : public QObject {
    Q_OBJECT
private slots:

    void viewTrendShowsTheChartAndIsKept() {
        QTemporaryDir dir;
        QSettings settings(dir.filePath("qr512.ini"), QSettings::IniFormat);
        {
            Rig rig;
            rig.panel->setScreenRoom([] { return QSize(2560, 1440); });
            app::TrendChart* chart = app::attachTrendChart(*rig.panel, rig.state, settings);
            rig.panel->rememberScale(settings);
            QVERIFY(chart->isHidden());
            QCOMPARE(rig.panel->size(), QSize(305, 650));
            auto* action = rig.panel->findChild<QAction*>(QStringLiteral("ViewTrend"));
            QCOMPARE(action->shortcut(), QKeySequence(QStringLiteral("Ctrl+G")));
            QVERIFY(rig.find<QMenu>("ViewMenu")->actions().contains(action));
            action->trigger();
            QVERIFY(!chart->isHidden());
            QCOMPARE(rig.panel->size(), QSize(305 + 428, 650));
            QCOMPARE(chart->geometry(), QRect(309, 44, 420, 380));
            // Straight to the size: which sizes View offers depends on the screen.
            rig.panel->setScalePercent(150);
            QCOMPARE(rig.panel->size(), QSize(1100, 975));
            QCOMPARE(chart->geometry(), QRect(464, 66, 630, 570));
            action->trigger();
            QCOMPARE(rig.panel->size(), QSize(458, 975));
            action->trigger();
            QCOMPARE(rig.panel->size(), QSize(1100, 975));
            QCOMPARE(rig.panel->scalePercent(), 150);
            // Wider than a 1024-pixel screen with the chart, the window comes down to 100 %.
            action->trigger();
            rig.panel->setScreenRoom([] { return QSize(1024, 1024); });
            action->trigger();
            QCOMPARE(rig.panel->scalePercent(), 100);
            QCOMPARE(rig.panel->size(), QSize(733, 650));
            QCOMPARE(settings.value("view/trend").toBool(), true);
        }
        Rig again;
        app::TrendChart* chart = app::attachTrendChart(*again.panel, again.state, settings);
        again.panel->rememberScale(settings);
        QVERIFY(!chart->isHidden());
        QCOMPARE(again.panel->size(), QSize(733, 650));
        again.panel->findChild<QAction*>(QStringLiteral("ViewTrend"))->trigger();
        QCOMPARE(again.panel->size(), QSize(305, 650));
        QCOMPARE(settings.value("view/trend").toBool(), false);
    }

    void readerHearsTheLatestValuesAndTheSpan() {
        QTemporaryDir dir;
        QSettings settings(dir.filePath("qr512.ini"), QSettings::IniFormat);
        settings.setValue("view/trend", true);
        Rig rig({.channels = 2});
        app::TrendChart* chart = app::attachTrendChart(*rig.panel, rig.state, settings);
        rig.panel->show();
        QVERIFY(rig.start());
        QCOMPARE(accessible(chart)->text(QAccessible::Name), QStringLiteral("Trend chart"));
        QTRY_VERIFY(accessible(chart)->text(QAccessible::Description).contains(u"T2 "));
        QVERIFY(accessible(chart)
                    ->text(QAccessible::Description)
                    .endsWith(QStringLiteral("; last 10 minutes")));
        auto* span = rig.find<QComboBox>("TrendSpan");
        span->setCurrentIndex(2);
        emit span->activated(2);
        QVERIFY(accessible(chart)->text(QAccessible::Description).endsWith(u"; last 1 hour"));
        QCOMPARE(settings.value("view/trendSpan").toInt(), 2);
    }
};

QTEST_MAIN(TestTrendChart)
#include "tst_trendchart.moc"
