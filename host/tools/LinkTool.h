// A host tool whose page shows one web address ("Vexmor空间_我的主页" and the
// two download-site pages).
//
// The addresses are settings: "Vexmor.ini", section "Vexmor空间", keys
// "我的主页", "华军下载" and "天空下载" (each tool's own name). Without them the
// home page is the local file home/index.html in the program directory, and
// the download pages are the two sites' front pages.
#pragma once

#include <QList>

#include "contract/ToolContract.h"

namespace vx {

class CLinkTool : public CToolBase {
public:
    CLinkTool(ToolHostContext* context, const QString& fullName, const QString& url);
    ~CLinkTool() override;

    struct Link {
        QString fullName;
        QString url;
    };
    // The three link tools in the order the document adds them, with the
    // addresses the settings give now.
    static QList<Link> Links();
    // The first of them: also what "作者的主页" opens in the desktop's browser.
    static QString HomePageUrl();
};

}  // namespace vx
