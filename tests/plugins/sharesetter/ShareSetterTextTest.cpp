// The share setter page in the language of this run (see
// support/PageTexts.h), over a fake share layer: its texts, no text cut in
// English, the designed geometry kept in the source language, and the list of
// shares stored as it always was.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "ShareFakes.h"
#include "plugins/common/SortListCtrl.h"
#include "plugins/sharesetter/ShareSetterDlg.h"
#include "plugins/sharesetter/ShareSetterTool.h"
#include "support/PageTexts.h"

using namespace vx::sharesetter;

namespace {
constexpr int kWidth = 760, kHeight = 420;
}

class ShareSetterTextTest : public QObject {
    Q_OBJECT

    FakeProgramDir m_dir;
    QTemporaryDir m_folder;
    FakeToolHost m_host;
    FakeHostOutput m_output;
    ToolHostContext m_context{&m_host, nullptr, &m_output, nullptr};
    std::unique_ptr<CShareSetterTool> m_tool;

    CShareSetterDlg* Page() const { return m_tool->Page(); }
    bool English() const { return TestingEnglish(); }

private slots:
    void initTestCase() {
        QVERIFY(UseTestLanguage(m_dir, QStringLiteral(VX_PLUGIN_QM),
                                QStringLiteral("[设置共享资源]\r\n共享资源数=2\r\n"
                                               "共享资源0=music*未知\r\n"
                                               "共享资源1=photos*/srv/photos\r\n")));
        m_tool = std::make_unique<CShareSetterTool>(
            &m_context,
            ShareServices{std::make_shared<FakeUserShares>(), [] { return QStringList(); }});
        m_host.pageParent.resize(kWidth, kHeight);
        m_host.pageParent.show();
        Page()->setGeometry(0, 0, kWidth, kHeight);
        Page()->show();
        // A share of 30 minutes through the page's own button.
        Page()->findChild<QLineEdit*>("1001")->setText(m_folder.path());
        Page()->findChild<QComboBox*>("1003")->setCurrentIndex(1);
        Page()->findChild<QPushButton*>("1004")->click();
        QCOMPARE(Page()->List()->RowCount(), 3);
    }

    void showsTheLanguagesTexts_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("english");
        QTest::newRow("folder label") << "1005"
                                      << "共享目录"
                                      << "Folder";
        QTest::newRow("duration label") << "1006"
                                        << "共享时间"
                                        << "Duration";
        QTest::newRow("add") << "1004"
                             << "添加共享"
                             << "Add Share";
        QTest::newRow("help") << "1007"
                              << "使用说明"
                              << "Help";
        QTest::newRow("first duration") << "1003/0"
                                        << "无限制"
                                        << "Unlimited";
        QTest::newRow("last duration") << "1003/4"
                                       << "24小时"
                                       << "24 hours";
        QTest::newRow("name column") << "1000/0"
                                     << "共享名称"
                                     << "Share name";
        QTest::newRow("time column") << "1000/2"
                                     << "共享时间"
                                     << "Time left";
    }
    void showsTheLanguagesTexts() {
        QFETCH(QString, control);
        QFETCH(QString, source);
        QFETCH(QString, english);
        QCOMPARE(TextAt(Page(), control), English() ? english : source);
    }

    // The rows and the output log are shown in the language; the stored list
    // keeps the source language's "未知" and keys.
    void rowsShownListStored() {
        const CSortListCtrl* list = Page()->List();
        QCOMPARE(list->CellText(0, 1),
                 English() ? QStringLiteral("Unknown") : QStringLiteral("未知"));
        QCOMPARE(list->CellText(1, 2),
                 English() ? QStringLiteral("Unlimited") : QStringLiteral("无限制"));
        QCOMPARE(list->CellText(2, 2),
                 English() ? QStringLiteral("30 min 0 s") : QStringLiteral("30分0秒"));
        const QString name = list->CellText(2, 0);
        QCOMPARE(
            m_output.logged,
            QStringList(
                English()
                    ? QStringLiteral("Shared folder %1 as %2").arg(m_folder.path(), name)
                    : QStringLiteral("共享文件夹%1成功,共享名为%2").arg(m_folder.path(), name)));
        const QString ini = m_dir.ReadIni();
        QVERIFY2(ini.contains(QStringLiteral("共享资源数=3")), qPrintable(ini));
        QVERIFY2(ini.contains(QStringLiteral("共享资源0=music*未知")), qPrintable(ini));
        QVERIFY2(ini.contains(QStringLiteral("共享资源2=%1*%2").arg(name, m_folder.path())),
                 qPrintable(ini));
        QCOMPARE(m_tool->GetToolInfo().name, QStringLiteral("搜索工具_设置共享资源"));
        QCOMPARE(QCoreApplication::translate("ToolName", "设置共享资源"),
                 English() ? QStringLiteral("Share Setter") : QStringLiteral("设置共享资源"));
    }

    void noTextIsCut() {
        if (!English()) QSKIP("the source language keeps its designed geometry");
        QVERIFY(SaveScreenshot(Page(), QStringLiteral("plugin-sharesetter.png")));
        const QStringList cut = CutTexts(Page());
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u'\n')));
        QVERIFY(SideBySide(Page(), 1001, 1007));
    }

    // Pixel for pixel what the page's geometry says.
    void sourceLayoutAsDesigned() {
        if (English()) QSKIP("English grows where its texts need it");
        const int h = kHeight;
        const QList<QPair<int, QRect>> designed{
            {1005, {2, h - 17, 50, 15}},   {1001, {55, h - 23, 160, 21}},
            {1002, {215, h - 23, 35, 21}}, {1006, {255, h - 17, 50, 15}},
            {1003, {308, h - 23, 90, 21}}, {1004, {410, h - 23, 75, 21}},
            {1007, {488, h - 23, 75, 21}},
        };
        for (const auto& [id, rect] : designed)
            QCOMPARE(Page()->findChild<QWidget*>(QString::number(id))->geometry(), rect);
    }
};

QTEST_MAIN(ShareSetterTextTest)
#include "ShareSetterTextTest.moc"
