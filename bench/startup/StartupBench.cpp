// Start-up time to the main window and memory, the program beside a bare Qt
// window, measured in the same run on the same machine:
//
//   vx_bench_startup [--runs N] [--before BIN_DIR]
//
// Each run starts the program fresh, with both shipped plug-ins in a private
// program directory, and measures it once at its main window and once after
// its first link page (the local home page) has loaded; the bare window is
// measured the same way in between, empty and with one line of the program's
// kind of text (what any window that shows text pays for its fonts), and the
// program without plug-ins shows what they add. Figures are medians over the runs. --before names the bin/
// folder of another build (the one before a change), measured in the same
// runs the same way, so before and after share the machine's load.
// Without a display the programs run on the offscreen platform. Run as root,
// the web sandbox cannot start, so the bench switches it off for its own
// runs (the page is a local file; everything else goes to a closed loopback
// port).
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

using Figures = QMap<QString, double>;  // "stage.key" -> value

double MonotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

Figures RunOnce(const QString& program, QProcessEnvironment env, const QString& probe,
                const QStringList& args = {}) {
    env.insert(QStringLiteral("LD_PRELOAD"), probe);
    env.insert(QStringLiteral("VX_BENCH_T0_MS"), QString::number(MonotonicMs(), 'f', 3));
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, args);
    Figures figures;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        fprintf(stderr, "bench: %s did not finish\n", qPrintable(program));
        return figures;
    }
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        if (!line.startsWith("BENCH ")) continue;
        QString stage;
        for (const QByteArray& field : line.mid(6).split(' ')) {
            const int eq = field.indexOf('=');
            const QString key = QString::fromLatin1(field.left(eq));
            const QByteArray value = field.mid(eq + 1);
            if (key == QLatin1String("stage"))
                stage = QString::fromLatin1(value);
            else
                figures.insert(stage + '.' + key, value.toDouble());
        }
    }
    return figures;
}

double Median(QList<double> values) {
    if (values.isEmpty()) return 0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double MedianOf(const QList<Figures>& runs, const QString& key) {
    QList<double> values;
    for (const Figures& f : runs)
        if (f.contains(key)) values << f.value(key);
    return Median(values);
}

void PrintRow(const char* label, const QList<Figures>& runs, const QString& stage) {
    printf("%-34s %9.1f %9.1f %9.1f %9.1f %12.1f %12.1f   %s (%d processes)\n", label,
           MedianOf(runs, stage + ".ms"), MedianOf(runs, stage + ".painted_ms"),
           MedianOf(runs, stage + ".painted_rss_kb") / 1024, MedianOf(runs, stage + ".rss_kb") / 1024,
           MedianOf(runs, stage + ".tree_rss_kb") / 1024,
           MedianOf(runs, stage + ".tree_pss_kb") / 1024,
           MedianOf(runs, stage + ".engine_lib") > 0 ? "yes" : "no ",
           static_cast<int>(MedianOf(runs, stage + ".engine_procs")));
}

bool CopyShipped(const QString& bin, const QString& to) {
    QDir().mkpath(to + "/ToolDlls");
    bool ok = true;
    for (const char* plugin : {"VX_HostPatrol.so", "VX_ShareSetter.so"})
        ok = QFile::copy(bin + "/ToolDlls/" + plugin, to + "/ToolDlls/" + plugin) && ok;
    const QDir home(bin + "/home");
    QDir().mkpath(to + "/home/img");
    for (const QString& f : home.entryList(QDir::Files))
        QFile::copy(home.filePath(f), to + "/home/" + f);
    for (const QString& f : QDir(home.filePath("img")).entryList(QDir::Files))
        QFile::copy(home.filePath("img/" + f), to + "/home/img/" + f);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int runs = 5;
    const QStringList args = app.arguments();
    if (const qsizetype i = args.indexOf("--runs"); i >= 0 && i + 1 < args.size())
        runs = std::max(1, args[i + 1].toInt());
    QString before;
    if (const qsizetype i = args.indexOf("--before"); i >= 0 && i + 1 < args.size())
        before = QDir(args[i + 1]).absolutePath();

    const QString benchDir = QCoreApplication::applicationDirPath();
    const QString bin = QStringLiteral(VX_BIN_DIR);
    const QString probe = benchDir + "/vx_startup_probe.so";
    QTemporaryDir programDir, bareProgramDir, runtimeDir, beforeProgramDir;
    QDir(bareProgramDir.path()).mkdir("ToolDlls");
    if (!CopyShipped(bin, programDir.path())) {
        fprintf(stderr, "bench: the shipped plug-ins are not built in %s/ToolDlls\n",
                qPrintable(bin));
        return 1;
    }
    if (!before.isEmpty() && !CopyShipped(before, beforeProgramDir.path())) {
        fprintf(stderr, "bench: the shipped plug-ins are not built in %s/ToolDlls\n",
                qPrintable(before));
        return 1;
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains("DISPLAY") && !env.contains("WAYLAND_DISPLAY") &&
        !env.contains("QT_QPA_PLATFORM"))
        env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_RUNTIME_DIR", runtimeDir.path());
    env.insert("VX_MESSAGEBOX_LOG", runtimeDir.filePath("boxes.log"));
    env.insert("QTWEBENGINE_CHROMIUM_FLAGS", "--proxy-server=127.0.0.1:9");
    if (geteuid() == 0) env.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QProcessEnvironment vexmorEnv = env;
    vexmorEnv.insert("VX_PROGRAM_DIR", programDir.path() + '/');
    vexmorEnv.insert("VX_BENCH_LINK", "1");
    QProcessEnvironment noPluginsEnv = env;
    noPluginsEnv.insert("VX_PROGRAM_DIR", bareProgramDir.path() + '/');
    // Without plug-ins the home page is the first tool and shows at start:
    // leave the browser out so the row shows the plug-ins' share alone.
    noPluginsEnv.insert("VX_BROWSER_MODULE", runtimeDir.filePath("none.so"));

    QProcessEnvironment beforeEnv = env;
    beforeEnv.insert("VX_PROGRAM_DIR", beforeProgramDir.path() + '/');
    QList<Figures> bare, bareText, vexmor, noPlugins, previous, previousNoPlugins;
    for (int i = 0; i < runs; ++i) {
        bare << RunOnce(benchDir + "/vx_bench_bare_window", env, probe);
        bareText << RunOnce(benchDir + "/vx_bench_bare_window", env, probe, {"--text"});
        vexmor << RunOnce(bin + "/Vexmor", vexmorEnv, probe);
        noPlugins << RunOnce(bin + "/Vexmor", noPluginsEnv, probe);
        if (before.isEmpty()) continue;
        previous << RunOnce(before + "/Vexmor", beforeEnv, probe);
        previousNoPlugins << RunOnce(before + "/Vexmor", noPluginsEnv, probe);
    }

    printf("Start-up to the main window shown and memory, median of %d runs, platform %s\n", runs,
           qPrintable(env.value("QT_QPA_PLATFORM", "(default)")));
    printf(
        "(ms: from process start to the window's first expose, or for the link page from\n"
        " showing it to its load; painted: to the end of that first frame, with RSS then;\n"
        " RSS: memory 1.5 s later; tree = with child processes)\n\n");
    printf("%-34s %9s %9s %9s %9s %12s %12s   %s\n", "", "ms", "painted", "RSS then",
           "RSS MB", "tree RSS MB", "tree PSS MB", "WebEngine");
    PrintRow("bare Qt window", bare, "shown");
    PrintRow("bare window, one line of text", bareText, "shown");
    PrintRow("Vexmor, both plug-ins", vexmor, "shown");
    PrintRow("Vexmor, after the first link page", vexmor, "link_page");
    PrintRow("Vexmor, no plug-ins, no browser", noPlugins, "shown");
    if (!before.isEmpty()) {
        PrintRow("before: Vexmor, both plug-ins", previous, "shown");
        PrintRow("before: no plug-ins, no browser", previousNoPlugins, "shown");
    }
    const auto ratios = [&bare](const char* label, const QList<Figures>& measured) {
        const auto ratio = [&](const char* key) {
            return MedianOf(measured, key) / std::max(1.0, MedianOf(bare, key));
        };
        printf("%s / bare window: %.2fx time, %.2fx RSS; painted %.2fx time, %.2fx RSS\n", label,
               ratio("shown.ms"), ratio("shown.rss_kb"), ratio("shown.painted_ms"),
               ratio("shown.painted_rss_kb"));
    };
    printf("\n");
    ratios("Vexmor start-up", vexmor);
    if (!before.isEmpty()) ratios("before: Vexmor start-up", previous);
    int emptyPages = 0;
    for (const Figures& f : vexmor) emptyPages += f.contains("link_page_empty.ms") ? 1 : 0;
    if (emptyPages) printf("note: %d run(s) showed an empty link page (no browser)\n", emptyPages);
    return 0;
}
