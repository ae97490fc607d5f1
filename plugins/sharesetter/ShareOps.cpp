#include "plugins/sharesetter/ShareOps.h"

#include <QCoreApplication>

#include "contract/ToolContract.h"
#include "platform/Gbk.h"
#include "platform/UserShares.h"

namespace vx::sharesetter {

namespace code = vx::platform::share_code;

QString ShareNameFromPath(const QString& path) {
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(u'/')) trimmed.chop(1);
    const QString name = trimmed.mid(trimmed.lastIndexOf(u'/') + 1);
    if (!name.isEmpty()) return name;
    // A share name: stored and seen by peers, so never translated.
    return path.left(1) + QStringLiteral("盘");
}

QString ShareFailureReason(int code) {
    switch (code) {
        case code::kAccessDenied:
            return QCoreApplication::translate("ShareOps", "用户不能访问指定的请求信息");
        case code::kNoFolder:
            return QCoreApplication::translate("ShareOps", "指定的文件夹不存在");
        case code::kRedirected:
            return QCoreApplication::translate("ShareOps", "指定的文件夹已经被共享");
        case code::kDuplicate:
            return QCoreApplication::translate("ShareOps", "共享名已经存在");
        default:
            return QCoreApplication::translate("ShareOps", "错误码%1").arg(code);
    }
}

namespace {

// "No mapping for the Unicode character in the multibyte code page".
constexpr int kNoGbkForm = 1113;

bool HasGbkForm(const QString& text) {
    return vx::platform::FromGbk(vx::platform::ToGbk(text)) == text;
}

}  // namespace

bool AddShare(vx::platform::IUserShares& shares, CHostOutput* output, const QString& path,
              const QString& name) {
    // The page keeps name and folder in Vexmor.ini, which is GBK text: a share
    // whose texts do not survive that could not be found again after a restart.
    const vx::platform::ShareOutcome outcome =
        HasGbkForm(path) && HasGbkForm(name)
            ? shares.Add(name, path)
            : vx::platform::ShareOutcome{
                  kNoGbkForm, QCoreApplication::translate(
                                  "ShareOps", "文件夹路径或共享名含有无法用 GBK 保存的字符")};
    if (outcome.Ok()) {
        output->OutputMsg(
            QCoreApplication::translate("ShareOps", "共享文件夹%1成功,共享名为%2").arg(path, name));
        return true;
    }
    output->OutputMsg(QCoreApplication::translate("ShareOps", "共享文件夹失败(%1)")
                          .arg(ShareFailureReason(outcome.code)));
    if (!outcome.advice.isEmpty()) output->OutputMsg(outcome.advice);
    return false;
}

bool DeleteShare(vx::platform::IUserShares& shares, const QString& name) {
    return shares.Delete(name).Ok();
}

}  // namespace vx::sharesetter
