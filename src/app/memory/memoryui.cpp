#include "app/memory/memoryui.h"

#include "app/window/controlpanel.h"
#include "live/livepoll.h"
#include "memory/memorydownload.h"
#include "memory/memoryrecords.h"
#include "session/downloadwork.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>

#include <memory>

namespace app {

MemoryUi::MemoryUi(ControlPanel& window, live::LiveState& live, Platform& platform, Host host,
                   QObject* parent)
    : QObject(parent)
    , m_window(window)
    , m_live(live)
    , m_platform(platform)
    , m_host(std::move(host))
    , m_download(new session::Exchange(window.link(), window, this))
    , m_erase(new session::Exchange(window.link(), window, this)) {
    m_cancel = new QPushButton(QStringLiteral("Cancel"), &window);
    m_cancel->setObjectName(QStringLiteral("CmdCancelDownload"));
    m_cancel->setToolTip(QStringLiteral("Stop the download; nothing is saved (Esc)"));
    // The status panels fill the window's width: Cancel takes the connection's place while a
    // download holds the connection, and no more room than it.
    m_cancel->setFont(window.statusBar()->font());
    m_connection = window.statusBar()->findChild<QLabel*>(QStringLiteral("StatusPanel4"));
    if (m_connection)
        m_cancel->setMaximumWidth(m_connection->minimumWidth());
    window.statusBar()->addPermanentWidget(m_cancel);
    m_cancel->hide();
    connect(m_cancel, &QPushButton::clicked, this, &MemoryUi::cancelDownload);
    m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), &window);
    m_escape->setEnabled(false);
    connect(m_escape, &QShortcut::activated, this, &MemoryUi::cancelDownload);
}

void MemoryUi::download() {
    // The empty memory is told even while another exchange holds the link.
    if (m_live.memoryCount() == 0) {
        m_platform.message(QStringLiteral("No Data in Memory"));
        return;
    }
    if (m_window.linkBusy())
        return;
    const QString directory = m_host.directory ? m_host.directory() : QString();
    if (const std::optional<QString> refusal = memory::refusalWhileRecording(directory)) {
        m_platform.message(*refusal, Platform::Icon::Warning);
        return;
    }
    memory::SaveRequest save;
    save.directory = directory;
    auto outcome = std::make_shared<memory::DownloadOutcome>();
    const session::Exchange::Work work = session::downloadWork(m_live, save, outcome);
    const auto done = [this, outcome](session::Exchange::End end, const QString& error) {
        showCancel(false);
        m_live.setChannelCountFrozen(false);
        if (end == session::Exchange::End::Failed) {
            m_platform.message(QStringLiteral("The download failed: %1").arg(error),
                               Platform::Icon::Warning);
        } else if (end == session::Exchange::End::Done) {
            if (outcome->kind == memory::DownloadOutcome::Kind::Saved) {
                const QString path = outcome->save.memoryFile;
                base::openInEditorOrSay(m_platform, path);
                if (m_host.showPlot)
                    m_host.showPlot(path);
                if (!outcome->save.notices.isEmpty())
                    m_platform.message(outcome->save.notices.join(u'\n'),
                                       Platform::Icon::Information);
            } else {
                m_platform.message(memory::outcomeMessage(*outcome),
                                   outcome->kind == memory::DownloadOutcome::Kind::Empty
                                       ? Platform::Icon::None
                                       : Platform::Icon::Warning);
            }
        }
        emit downloadEnded();
    };
    // The channel count of the file is the one shown now, whatever a frame says meanwhile.
    m_live.setChannelCountFrozen(true);
    m_focusBefore = QApplication::focusWidget();
    if (!m_download->runOnce(work, done, {.disableToolbar = true, .progressInTitle = true})) {
        m_live.setChannelCountFrozen(false);
        return;
    }
    m_window.setTitle(memory::progressText(0));
    showCancel(true);
}

void MemoryUi::showCancel(bool shown) {
    if (m_connection)
        m_connection->setVisible(!shown);
    m_cancel->setVisible(shown);
    m_escape->setEnabled(shown);
    if (shown) {
        // The toolbar key that had the focus is disabled now: the focus waits on Cancel.
        m_cancel->setFocus();
        return;
    }
    // Given back once the exchange has enabled the toolbar again.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_focusBefore && m_focusBefore->isEnabled() && m_focusBefore->isVisible())
                m_focusBefore->setFocus();
            else
                m_window.setFocus();
        },
        Qt::QueuedConnection);
}

void MemoryUi::cancelDownload() {
    m_download->cancel();
}

void MemoryUi::erase() {
    if (m_window.linkBusy())
        return;
    if (!m_platform.confirm(QStringLiteral("All data in memory will be deleted!"),
                            QStringLiteral("Warning!")))
        return;
    // Another exchange may have taken the link while the question was shown: then nothing is
    // sent, and the user is told so rather than left believing the memory is empty.
    if (!m_erase->runOnce([](session::Exchange::Job& job) { memory::eraseMemory(job.link()); }))
        m_platform.message(QStringLiteral("The meter is busy; its memory was not erased."),
                           Platform::Icon::Warning);
}

MemoryUi* attachMemory(ControlPanel& window, live::LiveState& live, Platform& platform,
                       std::function<QString()> directory,
                       std::function<void(const QString& path)> showPlot) {
    auto* ui = new MemoryUi(window, live, platform,
                            MemoryUi::Host{std::move(directory), std::move(showPlot)}, &window);
    window.setToolbarHandler(
        QStringLiteral("Memory"), [ui] { ui->download(); });
    window.setToolbarHandler(QStringLiteral("Erase"), [ui] { ui->erase(); });
    return ui;
}

} // namespace app
