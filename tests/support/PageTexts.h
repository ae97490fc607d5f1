// A plug-in page's texts in the language one run of a test checks
// (VX_TEST_LANGUAGE: "en", or unset for the source language): the test's own
// Vexmor.ini chooses the language as a user's would, the plug-in's compiled
// translation comes from the build tree, and each control is measured
// against its text.
#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOption>
#include <QTranslator>
#include <QTreeWidget>

#include <algorithm>

#include "platform/Translation.h"
#include "plugins/common/SortHeaderCtrl.h"
#include "support/FakeProgramDir.h"

inline bool TestingEnglish() { return qgetenv("VX_TEST_LANGUAGE") == "en"; }

// Names the language in `dir`'s Vexmor.ini (followed by `moreIni`) and, for
// English, installs the translation at `qmPath`. Call before anything asks
// for the language.
inline bool UseTestLanguage(const FakeProgramDir& dir, const QString& qmPath,
                            const QString& moreIni = {}) {
    const QString language = TestingEnglish() ? QStringLiteral("en") : QStringLiteral("zh_CN");
    if (!dir.WriteIni(QStringLiteral("[界面]\r\n语言=%1\r\n").arg(language) + moreIni))
        return false;
    if (vx::platform::UiLanguage() != language) return false;
    if (!TestingEnglish()) return true;
    static QTranslator translator;
    return translator.load(qmPath) && QCoreApplication::installTranslator(&translator);
}

// "name": the text of the control so named (a button's or label's text, an
// edit box's placeholder); "name/N": column N's title of a list, item N of a
// combo box.
inline QString TextAt(const QWidget* page, const QString& selector) {
    const QString name = selector.section(u'/', 0, 0);
    const int index = selector.section(u'/', 1).toInt();
    const QWidget* w = page->findChild<QWidget*>(name);
    if (auto* list = qobject_cast<const QTreeWidget*>(w)) return list->headerItem()->text(index);
    if (auto* combo = qobject_cast<const QComboBox*>(w)) return combo->itemText(index);
    if (auto* button = qobject_cast<const QAbstractButton*>(w)) return button->text();
    if (auto* label = qobject_cast<const QLabel*>(w)) return label->text();
    if (auto* edit = qobject_cast<const QLineEdit*>(w)) return edit->placeholderText();
    return QStringLiteral("<no control %1>").arg(selector);
}

// Every text of the page's visible controls that its control would cut, as
// "text: needs N, has M". Column titles must fit beside the sort triangle.
inline QStringList CutTexts(const QWidget* page) {
    QStringList cut;
    for (const QWidget* w : page->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(page)) continue;
        const QFontMetrics metrics = w->fontMetrics();
        const QStyle* style = w->style();
        const auto check = [&](const QString& text, int room) {
            const int needs = metrics.horizontalAdvance(text);
            if (needs > room)
                cut << QStringLiteral("%1: needs %2, has %3").arg(text).arg(needs).arg(room);
        };
        if (auto* box = qobject_cast<const QCheckBox*>(w)) {
            QStyleOptionButton option;
            option.initFrom(box);
            check(box->text(),
                  style->subElementRect(QStyle::SE_CheckBoxContents, &option, box).width());
        } else if (auto* button = qobject_cast<const QPushButton*>(w)) {
            QStyleOptionButton option;
            option.initFrom(button);
            check(button->text(),
                  style->subElementRect(QStyle::SE_PushButtonContents, &option, button).width());
        } else if (auto* label = qobject_cast<const QLabel*>(w)) {
            check(label->text(), label->contentsRect().width());
        } else if (auto* combo = qobject_cast<const QComboBox*>(w)) {
            QStyleOptionComboBox option;
            option.initFrom(combo);
            const int room = style
                                 ->subControlRect(QStyle::CC_ComboBox, &option,
                                                  QStyle::SC_ComboBoxEditField, combo)
                                 .width();
            for (int i = 0; i < combo->count(); ++i) check(combo->itemText(i), room);
        } else if (auto* header = qobject_cast<const CSortHeaderCtrl*>(w)) {
            const auto* list = qobject_cast<const QTreeWidget*>(header->parentWidget());
            for (int c = 0; list && c < header->count(); ++c) {
                const QRect section(0, 0, header->sectionSize(c), header->height());
                check(list->headerItem()->text(c),
                      CSortHeaderCtrl::Geometry(section, false, true).label.width());
            }
        }
    }
    return cut;
}

// Whether the controls numbered `first` to `last` stand side by side, none
// reaching into the next.
inline bool SideBySide(const QWidget* page, int first, int last) {
    QList<QRect> line;
    for (int id = first; id <= last; ++id)
        line << page->findChild<QWidget*>(QString::number(id))->geometry();
    std::sort(line.begin(), line.end(),
              [](const QRect& a, const QRect& b) { return a.left() < b.left(); });
    for (qsizetype i = 1; i < line.size(); ++i)
        if (line[i - 1].right() >= line[i].left()) return false;
    return true;
}

// The page's picture as VX_SCREENSHOT_DIR/<file>, when that is set.
inline bool SaveScreenshot(QWidget* page, const QString& file) {
    const QString dir = qEnvironmentVariable("VX_SCREENSHOT_DIR");
    return dir.isEmpty() || page->grab().save(QDir(dir).filePath(file));
}
