// A remote control for the end-to-end tests: a line-command server inside the
// running program, so a test drives the real widgets the way a user does.
//
// This is no part of the program. The suite preloads it (LD_PRELOAD) into the
// shipped Vexmor; it starts itself when the application object is made,
// before the program's own start-up runs (so the start-up's upgrade dialog
// can be driven too), and only when the environment variable VX_TEST_HOOK
// names a socket path in a directory (not a symbolic link) that belongs to
// this user and admits nobody else (mode 0700). The socket is made with mode
// 0600. Every command is one UTF-8 line, every answer one line of JSON with
// "ok"; the commands are listed below.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTextEdit>
#include <QToolBar>
#include <QtCore/qcoreapplication.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

// Commands (PATH names a widget: objectNames or short class names joined by
// "/", each part searched among the descendants of the one before, the first
// among all widgets; a visible match wins over a hidden one):
//   ping                      the process id
//   windows                   visible top-level windows and the active modal
//   get PATH                  class, visibility, enabled state, text, geometry
//   rows PATH                 the rows of a list or combo box
//   a11y PATH                 what assistive technology sees of the children
//   press PATH NAME           the press action of the accessible child NAME
//   click PATH                a left click in the middle of the widget
//   clickrow PATH ROW [double] a click on a row of a list
//   key PATH KEY              one key (Space, Return, Escape, Up, Down, Tab)
//   type PATH TEXT            select all, then the text typed key by key
//   action PATH ID            the action ID of a menu or toolbar, as a click
//                             on its entry (a menu pops up first)
//   invoke PATH METHOD [N]    a slot or invokable method without arguments,
//                             N times in a row (a timer's tick, say)
//   close PATH                the window's close box
//   tray                      the notification-area icon's state and place
//   shot PATH|screen FILE     a PNG of a widget or of the whole screen
// Input goes through the widgets' own event handlers, and is refused for a
// window that a modal dialog blocks, as it would be for a user. Input runs
// after the answer is sent: a click may open a modal loop, inside which the
// hook keeps answering.

namespace vx {
namespace {

constexpr qsizetype kMaxLine = 64 * 1024;  // a longer line is dropped unread

QString ShortClassName(const QObject* object) {
    const QString name = QString::fromLatin1(object->metaObject()->className());
    return name.mid(name.lastIndexOf(QLatin1Char(':')) + 1);
}

bool Matches(const QWidget* widget, const QString& part) {
    return widget->objectName() == part || ShortClassName(widget) == part;
}

QWidget* Pick(const QList<QWidget*>& candidates, const QString& part) {
    QWidget* hidden = nullptr;
    for (QWidget* widget : candidates) {
        if (!Matches(widget, part)) continue;
        if (widget->isVisible()) return widget;
        if (!hidden) hidden = widget;
    }
    return hidden;
}

QWidget* FindWidget(const QString& path) {
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty()) return nullptr;
    QWidget* found = Pick(QApplication::topLevelWidgets(), parts.first());
    if (!found) found = Pick(QApplication::allWidgets(), parts.first());
    for (qsizetype i = 1; found && i < parts.size(); ++i)
        found = Pick(found->findChildren<QWidget*>(), parts[i]);
    return found;
}

// Whether a modal dialog keeps user input away from `widget`. Pop-up menus
// are never blocked: the tray menu stays usable while a dialog runs.
bool BlockedByModal(const QWidget* widget) {
    const QWidget* modal = QApplication::activeModalWidget();
    const QWidget* window = widget->window();
    if (!modal || window->windowType() == Qt::Popup) return false;
    for (const QWidget* w = window; w; w = w->parentWidget())
        if (w == modal) return false;
    return true;
}

QString TextOf(const QWidget* widget) {
    if (auto* w = qobject_cast<const QLabel*>(widget)) return w->text();
    if (auto* w = qobject_cast<const QLineEdit*>(widget)) return w->text();
    if (auto* w = qobject_cast<const QAbstractButton*>(widget)) return w->text();
    if (auto* w = qobject_cast<const QPlainTextEdit*>(widget)) return w->toPlainText();
    if (auto* w = qobject_cast<const QTextEdit*>(widget)) return w->toPlainText();
    if (auto* w = qobject_cast<const QComboBox*>(widget)) return w->currentText();
    return widget->windowTitle();
}

QJsonObject Geometry(const QWidget* widget) {
    const QPoint at = widget->mapToGlobal(QPoint(0, 0));
    return {{"x", at.x()}, {"y", at.y()}, {"w", widget->width()}, {"h", widget->height()}};
}

QJsonObject Describe(const QWidget* widget) {
    QJsonObject out{{"class", ShortClassName(widget)},
                    {"name", widget->objectName()},
                    {"visible", widget->isVisible()},
                    {"enabled", widget->isEnabled()},
                    {"minimized", widget->isMinimized()},
                    {"text", TextOf(widget)},
                    {"title", widget->windowTitle()},
                    {"geometry", Geometry(widget)}};
    if (auto* button = qobject_cast<const QAbstractButton*>(widget))
        out.insert("checked", button->isChecked());
    return out;
}

QJsonArray Rows(QWidget* widget) {
    QJsonArray rows;
    QAbstractItemModel* model = nullptr;
    QItemSelectionModel* selection = nullptr;
    if (auto* view = qobject_cast<QAbstractItemView*>(widget)) {
        model = view->model();
        selection = view->selectionModel();
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        model = combo->model();
    }
    if (!model) return rows;
    for (int r = 0; r < model->rowCount(); ++r) {
        QJsonArray cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells.append(model->index(r, c).data(Qt::DisplayRole).toString());
        const QModelIndex first = model->index(r, 0);
        const QVariant check = first.data(Qt::CheckStateRole);
        QJsonObject row{{"cells", cells},
                        {"selected", selection && selection->isRowSelected(r, QModelIndex())}};
        if (check.isValid()) row.insert("checked", check.toInt() == Qt::Checked);
        rows.append(row);
    }
    return rows;
}

QJsonArray AccessibleChildren(QWidget* widget) {
    QJsonArray out;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    if (!iface) return out;
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface* child = iface->child(i);
        if (!child) continue;
        out.append(QJsonObject{{"name", child->text(QAccessible::Name)},
                               {"role", int(child->role())},
                               {"selected", bool(child->state().selected)}});
    }
    return out;
}

void SendMouse(QWidget* widget, QEvent::Type type, const QPoint& at, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void Click(QWidget* widget, const QPoint& at, bool twice) {
    QPointer<QWidget> guard(widget);
    SendMouse(widget, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
    if (guard) SendMouse(widget, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    if (guard) SendMouse(widget, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    if (!twice) return;
    if (guard) SendMouse(widget, QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
    if (guard) SendMouse(widget, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}

void SendKey(QWidget* widget, int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    QPointer<QWidget> guard(widget);
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(widget, &press);
    if (!guard) return;
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(widget, &release);
}

int KeyByName(const QString& name) {
    static const QHash<QString, int> keys = {
        {"Space", Qt::Key_Space}, {"Return", Qt::Key_Return}, {"Escape", Qt::Key_Escape},
        {"Up", Qt::Key_Up},       {"Down", Qt::Key_Down},     {"Tab", Qt::Key_Tab},
        {"Home", Qt::Key_Home},   {"End", Qt::Key_End}};
    return keys.value(name, 0);
}

// Runs `input` on `widget` from the event loop, after the answer is out.
void Later(QWidget* widget, std::function<void(QWidget*)> input) {
    QPointer<QWidget> guard(widget);
    QMetaObject::invokeMethod(
        qApp,
        [guard, input = std::move(input)] {
            if (guard) input(guard.data());
        },
        Qt::QueuedConnection);
}

QJsonObject Fail(const QString& why) { return {{"ok", false}, {"error", why}}; }

QSystemTrayIcon* TrayIcon() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* tray = window->findChild<QSystemTrayIcon*>()) return tray;
    return nullptr;
}

QJsonObject Execute(const QString& line) {
    const QString command = line.section(QLatin1Char(' '), 0, 0);
    const QString path = line.section(QLatin1Char(' '), 1, 1);
    const QString rest = line.section(QLatin1Char(' '), 2);
    QJsonObject ok{{"ok", true}};

    if (command == "ping") {
        ok.insert("pid", int(::getpid()));
        return ok;
    }
    if (command == "windows") {
        QJsonArray windows;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible()) windows.append(Describe(w));
        const QWidget* modal = QApplication::activeModalWidget();
        ok.insert("windows", windows);
        ok.insert("modal", !modal                          ? QString()
                           : modal->objectName().isEmpty() ? ShortClassName(modal)
                                                           : modal->objectName());
        return ok;
    }
    if (command == "tray") {
        QSystemTrayIcon* tray = TrayIcon();
        const QRect at = tray ? tray->geometry() : QRect();
        ok.insert("exists", tray != nullptr);
        ok.insert("available", QSystemTrayIcon::isSystemTrayAvailable());
        ok.insert("visible", tray && tray->isVisible());
        ok.insert("geometry", QJsonObject{{"x", at.x()}, {"y", at.y()}, {"w", at.width()},
                                          {"h", at.height()}});
        return ok;
    }
    if (command == "shot" && path == "screen") {
        QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen || !screen->grabWindow(0).save(rest, "PNG")) return Fail("cannot save");
        return ok;
    }

    QWidget* widget = FindWidget(path);
    if (!widget) return Fail("no widget " + path);

    if (command == "get") {
        ok.insert("widget", Describe(widget));
        return ok;
    }
    if (command == "rows") {
        ok.insert("rows", Rows(widget));
        return ok;
    }
    if (command == "a11y") {
        ok.insert("children", AccessibleChildren(widget));
        return ok;
    }
    if (command == "shot") {
        if (!widget->grab().save(rest, "PNG")) return Fail("cannot save " + rest);
        return ok;
    }
    if (command == "invoke") {
        const QByteArray method = rest.section(QLatin1Char(' '), 0, 0).toLatin1();
        const int times = qMax(1, rest.section(QLatin1Char(' '), 1, 1).toInt());
        if (widget->metaObject()->indexOfMethod(method + "()") < 0)
            return Fail("no method " + QString::fromLatin1(method));
        Later(widget, [method, times](QWidget* w) {
            QPointer<QWidget> guard(w);
            for (int i = 0; i < times && guard; ++i)
                QMetaObject::invokeMethod(w, method.constData());
        });
        return ok;
    }

    // User input from here on.
    // A menu named by "action" pops up first, as the tray icon's menu does.
    const bool popsUp = command == "action" && qobject_cast<QMenu*>(widget);
    if ((!widget->isVisible() && !popsUp) || !widget->isEnabled())
        return Fail("not visible or disabled");
    if (BlockedByModal(widget)) return Fail("blocked by a modal dialog");

    if (command == "press") {
        Later(widget, [rest](QWidget* w) {
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
            for (int i = 0; iface && i < iface->childCount(); ++i) {
                QAccessibleInterface* child = iface->child(i);
                if (!child || child->text(QAccessible::Name) != rest) continue;
                if (QAccessibleActionInterface* action = child->actionInterface())
                    action->doAction(QAccessibleActionInterface::pressAction());
                return;
            }
        });
        return ok;
    }
    if (command == "close") {
        if (!widget->isWindow()) return Fail("not a window");
        Later(widget, [](QWidget* w) { w->close(); });
        return ok;
    }
    if (command == "click") {
        Later(widget, [](QWidget* w) { Click(w, w->rect().center(), false); });
        return ok;
    }
    if (command == "clickrow") {
        auto* view = qobject_cast<QAbstractItemView*>(widget);
        bool number = false;
        const int row = rest.section(QLatin1Char(' '), 0, 0).toInt(&number);
        if (!view || !number || row < 0 || row >= view->model()->rowCount())
            return Fail("no such row");
        const bool twice = rest.section(QLatin1Char(' '), 1, 1) == "double";
        view->scrollTo(view->model()->index(row, 0));
        const QPoint at = view->visualRect(view->model()->index(row, 0)).center();
        Later(view->viewport(), [at, twice](QWidget* w) { Click(w, at, twice); });
        return ok;
    }
    if (command == "key") {
        const int key = KeyByName(rest);
        if (!key) return Fail("unknown key " + rest);
        const QString text = key == Qt::Key_Space    ? QStringLiteral(" ")
                             : key == Qt::Key_Return ? QStringLiteral("\r")
                                                     : QString();
        Later(widget, [key, text](QWidget* w) {
            w->setFocus(Qt::OtherFocusReason);
            SendKey(w, key, Qt::NoModifier, text);
        });
        return ok;
    }
    if (command == "type") {
        Later(widget, [rest](QWidget* w) {
            w->setFocus(Qt::OtherFocusReason);
            SendKey(w, Qt::Key_A, Qt::ControlModifier, QString());
            for (const QChar c : rest) SendKey(w, c.unicode(), Qt::NoModifier, QString(c));
        });
        return ok;
    }
    if (command == "action") {
        QAction* action = nullptr;
        for (QAction* a : widget->actions())
            if (a->objectName() == rest) action = a;
        if (!action || !action->isEnabled()) return Fail("no enabled action " + rest);
        if (auto* bar = qobject_cast<QToolBar*>(widget)) {
            QWidget* button = bar->widgetForAction(action);
            if (!button) return Fail("action has no button");
            Later(button, [](QWidget* w) { Click(w, w->rect().center(), false); });
            return ok;
        }
        auto* menu = qobject_cast<QMenu*>(widget);
        if (!menu) return Fail("not a menu or toolbar");
        QPointer<QAction> guard(action);
        Later(menu, [guard](QWidget* w) {
            auto* m = static_cast<QMenu*>(w);
            if (!m->isVisible()) m->popup(QPoint(40, 40));
            if (guard) Click(m, m->actionGeometry(guard).center(), false);
        });
        return ok;
    }
    return Fail("unknown command " + command);
}

class TestHookServer : public QObject {
public:
    TestHookServer(int listenFd, QObject* parent) : QObject(parent), m_listenFd(listenFd) {
        auto* notifier = new QSocketNotifier(listenFd, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] { Accept(); });
    }
    ~TestHookServer() override {
        for (int fd : m_buffers.keys()) ::close(fd);
        ::close(m_listenFd);
    }

private:
    void Accept() {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;
        m_buffers.insert(fd, QByteArray());
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this, fd, notifier] {
            char chunk[4096];
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                notifier->setEnabled(false);
                notifier->deleteLater();
                m_buffers.remove(fd);
                ::close(fd);
                return;
            }
            if (n > 0) Consume(fd, QByteArray(chunk, n));
        });
    }

    void Consume(int fd, const QByteArray& data) {
        QByteArray& buffer = m_buffers[fd];
        buffer += data;
        if (buffer.size() > kMaxLine && !buffer.contains('\n')) buffer.clear();
        for (qsizetype end; (end = buffer.indexOf('\n')) >= 0;) {
            const QString line = QString::fromUtf8(buffer.left(end)).trimmed();
            buffer.remove(0, end + 1);
            const QByteArray answer =
                QJsonDocument(Execute(line)).toJson(QJsonDocument::Compact) + '\n';
            for (qsizetype sent = 0; sent < answer.size();) {
                const ssize_t n = ::send(fd, answer.constData() + sent, answer.size() - sent,
                                         MSG_NOSIGNAL);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) return;
                sent += n;
            }
        }
    }

    int m_listenFd;
    QHash<int, QByteArray> m_buffers;  // unread input by client socket
};

// Whoever can reach the socket controls the program: only a private
// directory of this user will do, opened without following a symbolic link
// and checked through that descriptor, so it cannot be swapped afterwards.
int OpenPrivateDirectory(const QByteArray& dir) {
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
        (st.st_mode & 077) == 0)
        return fd;
    if (fd >= 0) ::close(fd);
    return -1;
}

// Listens on `name` inside the directory `dirFd`, the socket readable and
// writable by its owner alone; -1 on failure.
int Listen(int dirFd, const QByteArray& name) {
    // A socket left by an earlier run of the same test is replaced.
    struct stat st {};
    if (::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISSOCK(st.st_mode))
        ::unlinkat(dirFd, name.constData(), 0);
    // Bound through the descriptor, so the checked directory is the one used.
    const QByteArray path = "/proc/self/fd/" + QByteArray::number(dirFd) + '/' + name;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof address.sun_path) return -1;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    const mode_t saved = ::umask(0177);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::umask(saved);
    if (!bound || ::fchmodat(dirFd, name.constData(), 0600, 0) != 0 || ::listen(fd, 4) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void StartTestHook() {
    const QByteArray path = qgetenv("VX_TEST_HOOK");
    if (path.isEmpty()) return;
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray dir = slash > 0 ? path.left(slash) : QByteArray(slash == 0 ? "/" : "");
    const QByteArray name = path.mid(slash + 1);
    const int dirFd = dir.isEmpty() ? -1 : OpenPrivateDirectory(dir);
    if (dirFd < 0 || name.isEmpty()) {
        qWarning("test hook: %s is not a private directory of this user", dir.constData());
        if (dirFd >= 0) ::close(dirFd);
        return;
    }
    const int fd = Listen(dirFd, name);
    const int error = errno;
    ::close(dirFd);
    if (fd < 0) {
        qWarning("test hook: cannot listen on %s: %s", path.constData(), std::strerror(error));
        return;
    }
    new TestHookServer(fd, qApp);
}

// What the program starts (helpers, the browser's processes) must not get
// the preload too.
__attribute__((constructor)) void ForgetPreload() { ::unsetenv("LD_PRELOAD"); }

Q_COREAPP_STARTUP_FUNCTION(StartTestHook)

}  // namespace
}  // namespace vx
