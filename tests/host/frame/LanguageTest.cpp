// The interface language: the choice from the setting and the desktop's
// languages, the host's texts in the chosen language (in child processes,
// since a process decides its language once), and the menu that stores the
// choice for the next start.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QTest>
#include <QTextStream>

#include "host/frame/MainFrame.h"
#include "platform/MessageBox.h"
#include "platform/Translation.h"
#include "support/FakeProgramDir.h"

using vx::CMainFrame;
namespace platform = vx::platform;

namespace {

// Child mode: the menu bar's titles and a link tool's name as shown, one
// line, in the language this process chose.
int PrintHostTexts() {
    platform::InstallModuleTranslator(QStringLiteral("Vexmor"));
    CMainFrame::OverrideTrayAvailability(false);
    CMainFrame frame(nullptr);
    QStringList titles;
    for (QAction* menu : frame.menuBar()->actions()) titles << menu->text();
    titles << platform::ShownToolName(QStringLiteral("Vexmor空间_我的主页"));
    QTextStream(stdout) << titles.join(u'|') << Qt::endl;
    return 0;
}

}  // namespace

class LanguageTest : public QObject {
    Q_OBJECT
private slots:
    void choosesFromSettingThenDesktop_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QStringList>("desktop");
        QTest::addColumn<QString>("chosen");
        const QString en = QStringLiteral("en");
        const QString zh = QStringLiteral("zh_CN");
        QTest::newRow("C locale") << QStringLiteral("") << QStringList{"C"} << zh;
        QTest::newRow("nothing known") << QStringLiteral("") << QStringList{} << zh;
        QTest::newRow("English desktop") << QStringLiteral("") << QStringList{"en-GB"} << en;
        QTest::newRow("US English") << QStringLiteral("") << QStringList{"en-US", "en"} << en;
        QTest::newRow("Chinese desktop") << QStringLiteral("") << QStringList{"zh-CN"} << zh;
        QTest::newRow("Hans script") << QStringLiteral("") << QStringList{"zh-Hans-CN"} << zh;
        QTest::newRow("German then English") << QStringLiteral("") << QStringList{"de", "en"} << en;
        QTest::newRow("German only") << QStringLiteral("") << QStringList{"de-DE"} << zh;
        QTest::newRow("Chinese before English")
            << QStringLiteral("") << QStringList{"zh-CN", "en-GB"} << zh;
        QTest::newRow("English before Chinese")
            << QStringLiteral("") << QStringList{"en-GB", "zh-CN"} << en;
        QTest::newRow("setting en beats Chinese")
            << QStringLiteral("en") << QStringList{"zh-CN"} << en;
        QTest::newRow("setting zh_CN beats English")
            << QStringLiteral("zh_CN") << QStringList{"en-GB"} << zh;
        QTest::newRow("setting with blanks") << QStringLiteral(" en ") << QStringList{"C"} << en;
        QTest::newRow("unknown setting follows desktop")
            << QStringLiteral("fr") << QStringList{"en-GB"} << en;
        QTest::newRow("setting case is exact") << QStringLiteral("EN") << QStringList{"C"} << zh;
        QTest::newRow("not English: eno") << QStringLiteral("") << QStringList{"eno"} << zh;
    }
    void choosesFromSettingThenDesktop() {
        QFETCH(QString, setting);
        QFETCH(QStringList, desktop);
        QFETCH(QString, chosen);
        QCOMPARE(platform::ChooseUiLanguage(setting, desktop), chosen);
    }

    // A whole process: the setting in its Vexmor.ini and its locale decide
    // what the menus say; the full tool name stays the key, translated part
    // by part only for display.
    void hostTextsFollowTheChoice_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("shown");
        const QString chinese =
            QStringLiteral("设置|任务|查看(&V)|组件|帮助(&H)|Vexmor空间_我的主页");
        const QString english =
            QStringLiteral("Settings|Tasks|&View|Components|&Help|Vexmor Links_My Home Page");
        QTest::newRow("default") << QStringLiteral("") << QStringLiteral("C.UTF-8") << chinese;
        QTest::newRow("setting en") << QStringLiteral("en") << QStringLiteral("C.UTF-8") << english;
        QTest::newRow("English desktop")
            << QStringLiteral("") << QStringLiteral("en_US.UTF-8") << english;
        QTest::newRow("setting zh_CN on English desktop")
            << QStringLiteral("zh_CN") << QStringLiteral("en_US.UTF-8") << chinese;
    }
    void hostTextsFollowTheChoice() {
        QFETCH(QString, setting);
        QFETCH(QString, locale);
        QFETCH(QString, shown);
        FakeProgramDir dir;
        if (!setting.isEmpty()) QVERIFY(platform::SetUiLanguageSetting(setting));
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VX_PRINT_HOST_TEXTS"), QStringLiteral("1"));
        env.insert(QStringLiteral("LC_ALL"), locale);
        env.insert(QStringLiteral("LANGUAGE"), QString());
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()).trimmed(), shown);
    }

    // The menu stores the choice, says once that it applies after a restart,
    // and ticks what is stored (anything else stored: the desktop's).
    void languageMenuStoresTheChoice() {
        FakeProgramDir dir;
        QStringList boxes;
        platform::SetMessageBoxInterceptor([&boxes](const QString& text) { boxes << text; });
        CMainFrame::OverrideTrayAvailability(false);
        CMainFrame frame(nullptr);
        auto* menu = frame.findChild<QMenu*>(QStringLiteral("uiLanguageMenu"));
        QVERIFY(menu);
        auto action = [&frame](const char* name) {
            return frame.findChild<QAction*>(QLatin1String(name));
        };
        QCOMPARE(menu->title(), QStringLiteral("界面语言"));
        QCOMPARE(action("uiLanguageChinese")->text(), QStringLiteral("简体中文"));
        QCOMPARE(action("uiLanguageEnglish")->text(), QStringLiteral("English"));

        action("uiLanguageEnglish")->trigger();
        QCOMPARE(platform::UiLanguageSetting(), QStringLiteral("en"));
        QCOMPARE(boxes, QStringList{QStringLiteral("界面语言在重新启动程序后生效")});
        action("uiLanguageEnglish")->trigger();  // no change, no box
        QCOMPARE(boxes.size(), 1);
        action("uiLanguageDesktop")->trigger();
        QCOMPARE(platform::UiLanguageSetting(), QString());
        QCOMPARE(boxes.size(), 2);

        QVERIFY(platform::SetUiLanguageSetting(QStringLiteral("zh_CN")));
        emit menu->aboutToShow();
        QVERIFY(action("uiLanguageChinese")->isChecked());
        QVERIFY(platform::SetUiLanguageSetting(QStringLiteral("klingon")));
        emit menu->aboutToShow();
        QVERIFY(action("uiLanguageDesktop")->isChecked());
        platform::SetMessageBoxInterceptor({});
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("VX_PRINT_HOST_TEXTS")) return PrintHostTexts();
    LanguageTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "LanguageTest.moc"
