#include "help/manual_window.h"

#include <QEvent>
#include <QIcon>
#include <QKeySequence>
#include <QShortcut>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "ui_common/layout.h"

// The manual lives in a static library: it is pulled into the program only
// when something asks for it by name.
static void loadManualResource() {
    static const bool loaded = [] {
        // Outside any namespace: the resource's initialiser is a global function.
        Q_INIT_RESOURCE(help);
        return true;
    }();
    Q_UNUSED(loaded);
}

namespace hibi {

namespace {

const QString kManualUrl = QStringLiteral("qrc:/help/manual.html");

}  // namespace

ManualWindow::ManualWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("ManualWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("ヌピカ貯めよう！ ヘルプ"));
    setWindowIcon(QIcon(QStringLiteral(":/images/app_icon.png")));
    setAccessibleName(QStringLiteral("ヘルプ"));
    resize(720, 560);

    txtManual_ = new QTextBrowser(this);
    txtManual_->setObjectName(QStringLiteral("txtManual"));
    // The program's own proportional gothic, at a size for reading.
    txtManual_->setFont(hibi::gothicFont(hibi::proportionalGothic(), 15));
    txtManual_->setAccessibleName(QStringLiteral("使い方の説明"));
    txtManual_->setAccessibleDescription(
        QStringLiteral("ヌピカ貯めよう！の使い方です。目次の項目を選ぶとその説明へ移ります。"));
    // Links inside the manual move within it; any other address goes to the
    // desktop's own program for it.
    txtManual_->setOpenLinks(true);
    txtManual_->setOpenExternalLinks(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(txtManual_);

    auto* closeKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(closeKey, &QShortcut::activated, this, &QWidget::close);

    loadManualResource();
    txtManual_->setSource(QUrl(kManualUrl));
    // The manual goes when its owner closes, whichever way it was closed.
    owner->installEventFilter(this);
}

ManualWindow* ManualWindow::show(QWidget* owner, const QString& anchor) {
    auto* window = owner->findChild<ManualWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (window == nullptr) {
        window = new ManualWindow(owner);
    }
    window->QWidget::show();
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->raise();
    window->activateWindow();
    window->moveTo(anchor);
    return window;
}

void ManualWindow::moveTo(const QString& anchor) {
    if (anchor.isEmpty()) {
        return;
    }
    QUrl url(kManualUrl);
    url.setFragment(anchor);
    txtManual_->setSource(url);
}

bool ManualWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent() && event->type() == QEvent::Close) {
        // Whether the owner really closes is known only once it has handled
        // the event.
        auto* owner = static_cast<QWidget*>(parent());
        QTimer::singleShot(0, this, [this, owner] {
            if (!owner->isVisible()) {
                close();
            }
        });
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace hibi
