#include "ui/common/window_places.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QWidget>

namespace {

const char* const kPlaced = "salesWindowPlaced";

// Moves the rectangle inside the area, as far as its size allows.
QRect inside(QRect rect, const QRect& area) {
    if (rect.right() > area.right())
        rect.moveRight(area.right());
    if (rect.bottom() > area.bottom())
        rect.moveBottom(area.bottom());
    if (rect.left() < area.left())
        rect.moveLeft(area.left());
    if (rect.top() < area.top())
        rect.moveTop(area.top());
    return rect;
}

QString key(const QWidget* window) {
    return QStringLiteral("windows/") + window->objectName();
}

}  // namespace

WindowPlaces::WindowPlaces(QWidget* main_window, const QString& settings_file)
    : QObject(main_window),
      m_main(main_window),
      m_file(settings_file.isEmpty() ? default_settings_file() : settings_file) {
    qApp->installEventFilter(this);
    // Windows still open when the program ends are taken as they stand.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible() && kept(window) && window->property(kPlaced).toBool())
                store(window);
    });
}

WindowPlaces::~WindowPlaces() {
    qApp->removeEventFilter(this);
}

QString WindowPlaces::default_settings_file() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
        .filePath(QStringLiteral("windows.ini"));
}

bool WindowPlaces::kept(const QWidget* window) const {
    if (!window->isWindow() || window->objectName().isEmpty())
        return false;
    const Qt::WindowType type = window->windowType();
    if (type != Qt::Window && type != Qt::Dialog)
        return false;
    // Message boxes, file dialogs and progress windows place themselves.
    for (const char* own : {"QMessageBox", "QFileDialog", "QProgressDialog", "QInputDialog", "QPrintDialog",
                            "QPrintPreviewDialog", "QPageSetupDialog"})
        if (window->inherits(own))
            return false;
    return true;
}

QRect WindowPlaces::first_place(const QSize& size) const {
    QRect rect(QPoint(0, 0), size);
    QScreen* screen = m_main ? m_main->screen() : QGuiApplication::primaryScreen();
    if (m_main)
        rect.moveCenter(m_main->geometry().center());
    return screen ? inside(rect, screen->availableGeometry()) : rect;
}

void WindowPlaces::restore(QWidget* window) {
    QSettings settings(m_file, QSettings::IniFormat);
    const QString k = key(window);
    const QRect stored = settings.value(k + QStringLiteral("/geometry")).toRect();
    const bool main = window == m_main;
    if (!stored.isValid()) {
        // The main window itself is centred on its screen when it is made.
        if (!main)
            window->setGeometry(first_place(window->size()));
        return;
    }
    // Kept relative to the screen the window was on; it comes back on the main window's screen.
    QScreen* target =
        main ? QGuiApplication::screenAt(stored.center()) : (m_main ? m_main->screen() : nullptr);
    if (!target)
        target = QGuiApplication::primaryScreen();
    QRect rect = stored;
    if (!main)
        rect.translate(target->availableGeometry().topLeft() -
                       settings.value(k + QStringLiteral("/screenOrigin")).toPoint());
    rect.setSize(rect.size().boundedTo(target->availableGeometry().size()).expandedTo(window->minimumSize()));
    window->setGeometry(inside(rect, target->availableGeometry()));
    if (settings.value(k + QStringLiteral("/maximized")).toBool())
        window->setWindowState(window->windowState() | Qt::WindowMaximized);
}

void WindowPlaces::store(QWidget* window) {
    QSettings settings(m_file, QSettings::IniFormat);
    const QString k = key(window);
    const QRect rect = window->isMaximized() ? window->normalGeometry() : window->geometry();
    settings.setValue(k + QStringLiteral("/geometry"), rect);
    QScreen* screen = window->screen();
    settings.setValue(k + QStringLiteral("/screenOrigin"),
                      screen ? screen->availableGeometry().topLeft() : QPoint());
    settings.setValue(k + QStringLiteral("/maximized"), window->isMaximized());
}

bool WindowPlaces::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // Closing hides too: the place is taken when the window goes out of sight.
    if (type != QEvent::Show && type != QEvent::Hide)
        return false;
    auto* window = qobject_cast<QWidget*>(watched);
    if (!window || !kept(window))
        return false;
    if (type == QEvent::Show) {
        // Placed once per window made; a hidden screen shown again keeps where it was.
        if (!window->property(kPlaced).toBool()) {
            window->setProperty(kPlaced, true);
            restore(window);
        }
    } else if (window->property(kPlaced).toBool()) {
        store(window);
    }
    return false;
}
