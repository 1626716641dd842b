// The keys "Memory" and "Erase" in the main window against a virtual meter on the link thread:
// the empty memory, a download, a cancelled one (also while the meter is lost), and the erase
// question's two answers.

#include "app/memory/memoryui.h"
#include "app/window/controlpanel.h"
#include "support/fakeplatform.h"
#include "support/linkrig.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

namespace {

// The in-memory port; after "G" it can hold each read until the test opens the gate.
class DownloadPort : public serial::SimPort {
public:
    using SimPort::SimPort;
    bool write(const QByteArray& data) override {
        if (data == QByteArrayLiteral("G"))
            m_afterG = true;
        return SimPort::write(data);
    }
    QByteArray readAll() override {
        QByteArray out = SimPort::readAll();
        if (m_afterG && holdReads.load())
            gate.tryAcquire(1, 10000);
        return out;
    }
    std::atomic<bool> holdReads{false};
    QSemaphore gate;

private:
    bool m_afterG = false;
};

struct Rig : testsupport::LinkRig {
    explicit Rig(int records, int channels = 4)
        : LinkRig({.channels = channels, .storedRecords = records, .drift = false},
                  [this](serial::Clock& clock) {
                      auto p = std::make_unique<DownloadPort>(clock);
                      port = p.get();
                      return p;
                  }) {
        window =
            std::make_unique<app::ControlPanel>(thread, state, platform, [] { return 1000.0; });
        window->setWindowTitle(QStringLiteral("QR512 companion"));
        ui = app::attachMemory(
            *window, state, platform, [this] { return dir.path(); },
            [this](const QString& path) { plotted << path; });
    }
    ~Rig() {
        if (port)
            port->gate.release(1000);
        window.reset();
    }
    void press(const char* key) { window->toolbarAction(QString::fromLatin1(key))->trigger(); }
    // Presses "Memory" and waits for the download's end.
    bool download() {
        QSignalSpy ended(ui, &app::MemoryUi::downloadEnded);
        press("Memory");
        return ended.wait(20000);
    }
    // The end of every download: title back, toolbar enabled, link free, live poll on.
    bool endState() const {
        return window->windowTitle() == QStringLiteral("QR512 companion") &&
               window->toolbar()->isEnabled() && !window->linkBusy() && thread.polling() &&
               ui->cancelButton()->isHidden();
    }

    QTemporaryDir dir;
    DownloadPort* port = nullptr;
    testsupport::FakePlatform platform;
    std::unique_ptr<app::ControlPanel> window;
    app::MemoryUi* ui = nullptr;
    QStringList plotted;
};

} // namespace

class TestMemoryUi : public QObject {
    Q_OBJECT
private slots:

    void emptyMemoryIsToldEvenWhileBusy_data() {
        QTest::addColumn<bool>("busy");
        QTest::newRow("link free") << false;
        QTest::newRow("link busy") << true;
    }

    void emptyMemoryIsToldEvenWhileBusy() {
        QFETCH(bool, busy);
        Rig rig(0);
        QVERIFY(rig.start());
        rig.window->setLinkBusy(busy);
        rig.press("Memory");
        QCOMPARE(rig.platform.messages.size(), 1);
        QCOMPARE(rig.platform.messages[0].text, QStringLiteral("No Data in Memory"));
        QCOMPARE(rig.window->linkBusy(), busy);
        QVERIFY(rig.commands("G").isEmpty());
    }

    void downloadSavesOpensAndGivesEverythingBack_data() {
        QTest::addColumn<bool>("editorStarts");
        QTest::newRow("editor opens the file") << true;
        QTest::newRow("editor does not start") << false;
    }

    void downloadSavesOpensAndGivesEverythingBack() {
        QFETCH(bool, editorStarts);
        Rig rig(3, 2);
        rig.platform.editorStarts = editorStarts;
        QVERIFY(rig.start());
        QSignalSpy titles(rig.window.get(), &QWidget::windowTitleChanged);
        QVERIFY(rig.download());
        QVERIFY(rig.endState());
        const QStringList memoryFiles = QDir(rig.dir.path()).entryList({"memory-*.txt"});
        QCOMPARE(memoryFiles.size(), 1);
        const QString path = rig.dir.filePath(memoryFiles.first());
        QCOMPARE(rig.platform.messages.size(), editorStarts ? 0 : 1);
        if (!editorStarts)
            QCOMPARE(rig.platform.messages[0].text,
                     QStringLiteral("Could not open %1 in the text editor.").arg(path));
        QCOMPARE(rig.platform.opened, QStringList{path});
        QCOMPARE(rig.plotted, QStringList{path});
        QCOMPARE(rig.commands("G").size(), 1);

        QStringList seen;
        for (const auto& args : titles)
            seen << args.at(0).toString();
        QCOMPARE(seen.first(), QStringLiteral("0.0% Completed"));
        QVERIFY(seen.contains(QStringLiteral("100.0% Completed")));
        QCOMPARE(seen.last(), QStringLiteral("QR512 companion"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.at(0), QByteArray("Total Records : 3\r"));
        QCOMPARE(lines.at(2), QByteArray(87, '-') + '\r'); // the live display's two channels
    }

    void cancelEndsAtOnceWithoutAFile_data() {
        QTest::addColumn<bool>("escape");
        QTest::addColumn<bool>("lost"); // pressed while the poll searches for a lost meter
        QTest::newRow("Cancel button") << false << false;
        QTest::newRow("Escape") << true << false;
        QTest::newRow("Cancel, meter lost") << false << true;
    }

    void cancelEndsAtOnceWithoutAFile() {
        QFETCH(bool, escape);
        QFETCH(bool, lost);
        Rig rig(16800);
        rig.window->show();
        QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
        QVERIFY(rig.start());
        if (lost) {
            rig.thread.post([&rig](serial::LinkSession&) { rig.meter.setUnplugged(true); });
            QTRY_VERIFY_WITH_TIMEOUT(rig.state.lost(), 20000);
        }
        rig.port->holdReads = true;
        QSignalSpy ended(rig.ui, &app::MemoryUi::downloadEnded);
        QWidget* memoryKey =
            rig.window->toolbar()->widgetForAction(rig.window->toolbarAction("Memory"));
        memoryKey->setFocus();
        rig.press("Memory");
        QPushButton* cancel = rig.ui->cancelButton();
        QVERIFY(cancel->isVisible());
        QVERIFY(!rig.window->toolbar()->isEnabled());
        // Within the window, where a mouse reaches it, and with the keyboard's focus.
        QVERIFY(rig.window->rect().contains(
            QRect(cancel->mapTo(rig.window.get(), QPoint(0, 0)), cancel->size())));
        QCOMPARE(QApplication::focusWidget(), cancel);
        if (escape)
            QTest::keyClick(rig.window.get(), Qt::Key_Escape);
        else
            QTest::mouseClick(rig.ui->cancelButton(), Qt::LeftButton);
        rig.port->gate.release(1000);
        QVERIFY(ended.wait(10000));
        QVERIFY(rig.endState());
        QVERIFY(rig.platform.messages.isEmpty());
        QVERIFY(QDir(rig.dir.path()).isEmpty());
        QVERIFY(rig.platform.opened.isEmpty());
        QTRY_COMPARE(QApplication::focusWidget(), memoryKey);
    }

    void erase_data() {
        QTest::addColumn<bool>("ok");
        QTest::newRow("Cancel sends nothing") << false;
        QTest::newRow("OK sends E and 04 00 00 00") << true;
    }

    void erase() {
        QFETCH(bool, ok);
        Rig rig(5);
        QVERIFY(rig.start());
        rig.platform.confirmAnswer = ok;
        rig.press("Erase");
        QCOMPARE(rig.platform.questions,
                 QStringList{QStringLiteral("Warning!: All data in memory will be deleted!")});
        if (ok) {
            QTRY_VERIFY_WITH_TIMEOUT(rig.state.memoryCount() == 0, 10000);
            QCOMPARE(rig.commands("E"), QList<QByteArray>{QByteArray("E\x04\x00\x00\x00", 5)});
        } else {
            QVERIFY(!rig.window->linkBusy());
            QSignalSpy frames(&rig.state, &live::LiveState::frameDecoded);
            QVERIFY(frames.wait(10000));
            QVERIFY(rig.commands("E").isEmpty());
            QCOMPARE(rig.state.memoryCount(), 5);
        }
        QTRY_VERIFY_WITH_TIMEOUT(rig.endState(), 10000);
    }
};

QTEST_MAIN(TestMemoryUi)
#include "tst_memoryui.moc"
