// Preloaded (LD_PRELOAD) into the program being measured, so the real binary
// runs unchanged: it notes when the first top-level window is exposed and
// when that first frame has been painted, with the memory at each, then the
// memory of the process and of its children once things settle, and
// prints one "BENCH" line per stage on stdout for vx_bench_startup.
//
// With VX_BENCH_LINK set it then shows the first link page (object name
// "153") the way the tool list does, waits for the page to load and measures
// again; last it ends the program through its exit command (or quits).
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <time.h>
#include <unistd.h>

#include <cstdio>

namespace {

constexpr int kSettleMs = 1500;
constexpr int kLoadTimeoutMs = 60000;

double MonotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Kilobytes after `key` in a /proc status-like file, 0 if absent.
long ProcKb(const QString& path, const QByteArray& key) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
    return 0;
}

struct Proc {
    int pid;
    int ppid;
    QByteArray comm;
};

QList<Proc> AllProcs() {
    QList<Proc> procs;
    for (const QString& e : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile f(QStringLiteral("/proc/%1/stat").arg(e));
        if (!f.open(QIODevice::ReadOnly)) continue;
        const QByteArray t = f.readAll();
        const int open = t.indexOf('('), close = t.lastIndexOf(')');
        if (open < 0 || close < 0) continue;
        const QList<QByteArray> rest = t.mid(close + 2).split(' ');
        if (rest.size() > 1 && rest[0] != "Z")
            procs.append({e.toInt(), rest[1].toInt(), t.mid(open + 1, close - open - 1)});
    }
    return procs;
}

QList<Proc> Descendants(int root) {
    const QList<Proc> all = AllProcs();
    QList<int> frontier{root};
    QList<Proc> found;
    while (!frontier.isEmpty()) {
        const int parent = frontier.takeFirst();
        for (const Proc& p : all)
            if (p.ppid == parent) {
                found.append(p);
                frontier.append(p.pid);
            }
    }
    return found;
}

bool EngineMapped() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6WebEngineCore");
}

long SelfRssKb() { return ProcKb(QStringLiteral("/proc/self/status"), "VmRSS:"); }

// `extra` is appended to the line as it is ("key=value ...").
void Report(const char* stage, double ms, const QByteArray& extra = {}) {
    const long rss = SelfRssKb();
    long treePss = ProcKb(QStringLiteral("/proc/self/smaps_rollup"), "Pss:");
    long treeRss = rss;
    int engineProcs = 0;
    for (const Proc& p : Descendants(getpid())) {
        treePss += ProcKb(QStringLiteral("/proc/%1/smaps_rollup").arg(p.pid), "Pss:");
        treeRss += ProcKb(QStringLiteral("/proc/%1/status").arg(p.pid), "VmRSS:");
        if (p.comm.startsWith("QtWebEngineProc")) ++engineProcs;
    }
    printf(
        "BENCH stage=%s ms=%.1f rss_kb=%ld tree_rss_kb=%ld tree_pss_kb=%ld engine_lib=%d "
        "engine_procs=%d%s%s\n",
        stage, ms, rss, treeRss, treePss, EngineMapped() ? 1 : 0, engineProcs,
        extra.isEmpty() ? "" : " ", extra.constData());
    fflush(stdout);
}

class Probe : public QObject {
    Q_OBJECT
public:
    Probe() {
        bool ok = false;
        m_t0 = qEnvironmentVariable("VX_BENCH_T0_MS").toDouble(&ok);
        if (!ok) m_t0 = MonotonicMs();
        qApp->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!m_shown && event->type() == QEvent::Expose) {
            auto* w = qobject_cast<QWidget*>(watched);
            if (!w) {
                // Exposes arrive for the QWindow; find its widget.
                for (QWidget* top : QApplication::topLevelWidgets())
                    if (static_cast<QObject*>(top->windowHandle()) == watched && top->isVisible())
                        w = top;
            }
            if (w && w->isWindow() && w->isVisible()) {
                m_shown = true;
                m_window = w;
                const double shownMs = MonotonicMs() - m_t0;
                m_exposedRssKb = SelfRssKb();
                // The expose is painted before the loop takes its next posted
                // event: this one marks the first frame done. Work the
                // program posted for after its first paint comes after it.
                QTimer::singleShot(0, this, [this] {
                    m_paintedMs = MonotonicMs() - m_t0;
                    m_paintedRssKb = SelfRssKb();
                });
                QTimer::singleShot(kSettleMs, this, [this, shownMs] { Shown(shownMs); });
            }
        }
        return QObject::eventFilter(watched, event);
    }

private slots:
    void PageLoaded() {
        if (m_loaded) return;
        m_loaded = true;
        const double pageMs = MonotonicMs() - m_pageStart;
        QTimer::singleShot(kSettleMs, this, [this, pageMs] {
            Report("link_page", pageMs);
            Finish();
        });
    }

private:
    void Shown(double shownMs) {
        Report("shown", shownMs,
               QByteArray("exposed_rss_kb=") + QByteArray::number(m_exposedRssKb) +
                   " painted_ms=" + QByteArray::number(m_paintedMs, 'f', 1) +
                   " painted_rss_kb=" + QByteArray::number(m_paintedRssKb));
        if (!qEnvironmentVariableIsSet("VX_BENCH_LINK")) return Finish();
        QWidget* page = m_window->findChild<QWidget*>(QStringLiteral("153"));
        if (!page || !page->parentWidget()) return Finish();
        // What the tool list does on a click: hide the shown page, show this.
        for (QWidget* sibling :
             page->parentWidget()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (sibling != page && !sibling->isHidden()) sibling->hide();
        m_pageStart = MonotonicMs();
        page->setGeometry(page->parentWidget()->rect());
        page->show();
        QObject* view = nullptr;
        for (QObject* o : page->findChildren<QObject*>())
            if (o->inherits("QWebEngineView")) view = o;
        if (!view) {
            Report("link_page_empty", MonotonicMs() - m_pageStart);
            return Finish();
        }
        connect(view, SIGNAL(loadFinished(bool)), this, SLOT(PageLoaded()));
        QTimer::singleShot(kLoadTimeoutMs, this, [this] {
            if (!m_loaded) {
                Report("link_page_timeout", MonotonicMs() - m_pageStart);
                Finish();
            }
        });
    }

    void Finish() {
        if (auto* exit = m_window->findChild<QAction*>(QStringLiteral("57665")))
            exit->trigger();
        else
            QCoreApplication::quit();
    }

    double m_t0 = 0;
    double m_pageStart = 0;
    double m_paintedMs = 0;
    long m_exposedRssKb = 0;
    long m_paintedRssKb = 0;
    bool m_shown = false;
    bool m_loaded = false;
    QWidget* m_window = nullptr;
};

void StartProbe() { new Probe; }

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(StartProbe)

#include "StartupProbe.moc"
