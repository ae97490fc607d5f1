#include "host/tools/LinkTool.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPixmap>
#include <QUrl>

#include "host/controls/LinkPageDlg.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramDir.h"

namespace vx {
namespace {

const QString kFolder = QStringLiteral("Vexmor空间");
constexpr int kUrlBuffer = 2048;

struct LinkSetting {
    const char16_t* name;    // the tool's own name, also its settings key
    const char* defaultUrl;  // null: the home page beside the program
};
constexpr LinkSetting kLinks[] = {
    {u"我的主页", nullptr},
    {u"华军下载", "https://www.onlinedown.net/"},
    {u"天空下载", "https://www.skycn.com/"},
};

// The folder's and the links' names as shown (see ShownToolName).
[[maybe_unused]] const char* const kShownNames[] = {
    QT_TRANSLATE_NOOP("ToolName", "Vexmor空间"), QT_TRANSLATE_NOOP("ToolName", "我的主页"),
    QT_TRANSLATE_NOOP("ToolName", "华军下载"), QT_TRANSLATE_NOOP("ToolName", "天空下载")};

QString LinkUrl(const platform::ProfileFile& settings, const LinkSetting& link) {
    const QString fallback =
        link.defaultUrl
            ? QString::fromLatin1(link.defaultUrl)
            : QUrl::fromLocalFile(platform::GetProgramDir() + QStringLiteral("home/index.html"))
                  .toString();
    const QString url =
        settings.GetString(kFolder, QString::fromUtf16(link.name), fallback, kUrlBuffer);
    return url.isEmpty() ? fallback : url;
}

// A globe, drawn rather than shipped: the host's own icon for its web links,
// drawn once and shared by every link tool.
QIcon DrawLinkIcon() {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x1f, 0x5f, 0xa8), 2));
    p.setBrush(QColor(0xd8, 0xe8, 0xfa));
    const QRectF r(3, 3, 26, 26);
    p.drawEllipse(r);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(10, 3, 12, 26));
    p.drawLine(QPointF(16, 3), QPointF(16, 29));
    p.drawLine(QPointF(3, 16), QPointF(29, 16));
    p.drawLine(QPointF(6, 9.5), QPointF(26, 9.5));
    p.drawLine(QPointF(6, 22.5), QPointF(26, 22.5));
    return QIcon(pm);
}

QIcon LinkIcon() {
    static const QIcon icon = DrawLinkIcon();
    return icon;
}

}  // namespace

CLinkTool::CLinkTool(ToolHostContext* context, const QString& fullName, const QString& url)
    : CToolBase(context) {
    QWidget* parent =
        m_context && m_context->toolHost ? m_context->toolHost->GetPageParent() : nullptr;
    m_page = new CLinkPageDlg(url, parent);
    m_name = fullName;
    m_icon = LinkIcon();
}

CLinkTool::~CLinkTool() { delete m_page.data(); }

QList<CLinkTool::Link> CLinkTool::Links() {
    const platform::ProfileFile settings = platform::ProfileFile::Settings();
    QList<Link> links;
    for (const LinkSetting& link : kLinks)
        links.append({kFolder + '_' + QString::fromUtf16(link.name), LinkUrl(settings, link)});
    return links;
}

QString CLinkTool::HomePageUrl() { return LinkUrl(platform::ProfileFile::Settings(), kLinks[0]); }

}  // namespace vx
