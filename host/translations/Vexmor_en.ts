<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>ToolName</name>
    <message>
        <source>Vexmor空间</source>
        <translation>Vexmor Links</translation>
    </message>
    <message>
        <source>我的主页</source>
        <translation>My Home Page</translation>
    </message>
    <message>
        <source>华军下载</source>
        <translation>Onlinedown</translation>
    </message>
    <message>
        <source>天空下载</source>
        <translation>Skycn</translation>
    </message>
    <message>
        <source>搜索工具</source>
        <translation>Search Tools</translation>
    </message>
</context>
<context>
    <name>vx::CAboutDlg</name>
    <message>
        <source>如果您只需要更新升级程序的组件，请点击工具条上的更新升<byte value="xd"/>
级，如果您需要升级主程序的版本，请到我的主页或华军等网<byte value="xd"/>
站下载。</source>
        <translation>To update components only, click Update on the<byte value="xd"/>
toolbar. For a new main program, download it from<byte value="xd"/>
my home page or a download site.</translation>
    </message>
    <message>
        <source>关于 Vexmor</source>
        <translation>About Vexmor</translation>
    </message>
    <message>
        <source>Vexmor 1.72 版</source>
        <translation>Vexmor version 1.72</translation>
    </message>
    <message>
        <source>升级说明</source>
        <translation>Upgrade notes</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>vx::CComponentDlg</name>
    <message>
        <source>来源</source>
        <translation>Origin</translation>
    </message>
    <message>
        <source>系统</source>
        <translation>System</translation>
    </message>
    <message>
        <source>用户</source>
        <translation>User</translation>
    </message>
    <message>
        <source>组件管理</source>
        <translation>Components</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>描述</source>
        <translation>Description</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>版本号</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>作者</source>
        <translation>Author</translation>
    </message>
    <message>
        <source>检查更新</source>
        <translation>Updates...</translation>
    </message>
    <message>
        <source>卸载</source>
        <translation>Uninstall</translation>
    </message>
    <message>
        <source>重新启动程序后生效</source>
        <translation>The change takes effect when the program restarts</translation>
    </message>
    <message>
        <source>启用</source>
        <comment>state</comment>
        <translation>Enabled</translation>
    </message>
    <message>
        <source>禁用</source>
        <comment>state</comment>
        <translation>Disabled</translation>
    </message>
    <message>
        <source>启用</source>
        <comment>button</comment>
        <translation>Enable</translation>
    </message>
    <message>
        <source>禁用</source>
        <comment>button</comment>
        <translation>Disable</translation>
    </message>
</context>
<context>
    <name>vx::CGfxOutBarCtrl</name>
    <message>
        <source>文件夹栏</source>
        <translation>Folder bar</translation>
    </message>
</context>
<context>
    <name>vx::CHtmlCtrl</name>
    <message>
        <source>网页</source>
        <translation>Web page</translation>
    </message>
</context>
<context>
    <name>vx::CMainFrame</name>
    <message>
        <source>就绪</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>显示线程的数目</source>
        <translation>Thread count</translation>
    </message>
    <message>
        <source>当前窗口标题</source>
        <translation>Current window title</translation>
    </message>
    <message>
        <source>主机信息</source>
        <translation>Host information</translation>
    </message>
    <message>
        <source>工具选项</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>工具显示</source>
        <translation>Show Tools</translation>
    </message>
    <message>
        <source>任务浏览</source>
        <translation>Tasks</translation>
    </message>
    <message>
        <source>结束任务</source>
        <translation>End Tasks</translation>
    </message>
    <message>
        <source>组件管理</source>
        <translation>Components</translation>
    </message>
    <message>
        <source>更新升级</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>本机名称：%1，本机IP：%2</source>
        <translation>Host name: %1, IP: %2</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>工具选项...</source>
        <translation>Tool Options...</translation>
    </message>
    <message>
        <source>工具显示...</source>
        <translation>Show Tools...</translation>
    </message>
    <message>
        <source>任务</source>
        <translation>Tasks</translation>
    </message>
    <message>
        <source>任务浏览...</source>
        <translation>Browse Tasks...</translation>
    </message>
    <message>
        <source>查看(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>工具栏(&amp;T)</source>
        <translation>&amp;Toolbar</translation>
    </message>
    <message>
        <source>状态栏(&amp;S)</source>
        <translation>&amp;Status Bar</translation>
    </message>
    <message>
        <source>组件</source>
        <translation>Components</translation>
    </message>
    <message>
        <source>组件管理...</source>
        <translation>Manage Components...</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>关于 Vexmor(&amp;A)...</source>
        <translation>&amp;About Vexmor...</translation>
    </message>
    <message>
        <source>作者的主页</source>
        <translation>Author&apos;s Home Page</translation>
    </message>
    <message>
        <source>更新升级...</source>
        <translation>Update...</translation>
    </message>
    <message>
        <source>工具栏</source>
        <translation>Toolbar</translation>
    </message>
    <message>
        <source>更多工具按钮</source>
        <translation>More tool buttons</translation>
    </message>
    <message>
        <source>线程数</source>
        <translation>Threads</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>设置最大执行线程数目</source>
        <translation>Set the maximum number of running threads</translation>
    </message>
    <message>
        <source>图标</source>
        <translation>Icon</translation>
    </message>
    <message>
        <source>显示/隐藏</source>
        <translation>Show/Hide</translation>
    </message>
    <message>
        <source>关于...</source>
        <translation>About...</translation>
    </message>
</context>
<context>
    <name>vx::CMsgPopupDlg</name>
    <message>
        <source>消息通知</source>
        <translation>Notification</translation>
    </message>
</context>
<context>
    <name>vx::COnlineUpgradeDlg</name>
    <message>
        <source>Vexmor在线升级</source>
        <translation>Vexmor Online Upgrade</translation>
    </message>
    <message>
        <source>更新文件列表</source>
        <translation>Files to update</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>进度</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>更新</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>更新失败</source>
        <translation>Failed</translation>
    </message>
</context>
<context>
    <name>vx::COutputMsgView</name>
    <message>
        <source>输出信息</source>
        <translation>Output</translation>
    </message>
</context>
<context>
    <name>vx::CTaskBrowseDlg</name>
    <message>
        <source>任务浏览</source>
        <translation>Tasks</translation>
    </message>
    <message>
        <source>任务类型</source>
        <translation>Task type</translation>
    </message>
    <message>
        <source>执行数</source>
        <translation>Running</translation>
    </message>
    <message>
        <source>等待数</source>
        <translation>Waiting</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>vx::CTaskManager</name>
    <message>
        <source>共有%1个任务被取消</source>
        <translation>%1 task(s) cancelled</translation>
    </message>
    <message>
        <source>设置当前执行线程数最大值=</source>
        <translation>Maximum running threads set to </translation>
    </message>
    <message>
        <source>执行线程数=%1,等待任务数=%2</source>
        <translation>Running threads=%1, waiting tasks=%2</translation>
    </message>
</context>
<context>
    <name>vx::CToolDisplayDlg</name>
    <message>
        <source>工具显示</source>
        <translation>Show Tools</translation>
    </message>
    <message>
        <source>工具名称</source>
        <translation>Tool name</translation>
    </message>
    <message>
        <source>上移</source>
        <translation>Move Up</translation>
    </message>
    <message>
        <source>下移</source>
        <translation>Move Down</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>vx::CToolListView</name>
    <message>
        <source>当前窗口：</source>
        <translation>Current window: </translation>
    </message>
</context>
<context>
    <name>vx::CToolManager</name>
    <message>
        <source>找不到工具[%1]</source>
        <translation>Tool [%1] not found</translation>
    </message>
</context>
<context>
    <name>vx::CToolOptionsDlg</name>
    <message>
        <source>选项</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>vx::CUpdateChecker</name>
    <message>
        <source>签名文件格式不对</source>
        <translation>The signature file is malformed</translation>
    </message>
    <message>
        <source>无法初始化签名校验</source>
        <translation>Cannot initialise signature checking</translation>
    </message>
    <message>
        <source>签名的可信注释被改动</source>
        <translation>The signature&apos;s trusted comment was altered</translation>
    </message>
    <message>
        <source>签名与内容不符</source>
        <translation>The signature does not match the content</translation>
    </message>
    <message>
        <source>签名的公钥%1不在可信公钥中</source>
        <translation>The signing key %1 is not among the trusted keys</translation>
    </message>
    <message>
        <source>没有可信的公钥(keys/*.pub)</source>
        <translation>No trusted public key (keys/*.pub)</translation>
    </message>
    <message>
        <source>取不到更新信息(%1)</source>
        <translation>Cannot fetch the update information (%1)</translation>
    </message>
    <message>
        <source>更新信息是空的</source>
        <translation>The update information is empty</translation>
    </message>
    <message>
        <source>取不到更新信息的签名%1(%2)</source>
        <translation>Cannot fetch the update information&apos;s signature %1 (%2)</translation>
    </message>
    <message>
        <source>更新信息的签名无效(%1)</source>
        <translation>The update information&apos;s signature is invalid (%1)</translation>
    </message>
    <message>
        <source>更新信息中没有::BEGIN::和::END::</source>
        <translation>The update information has no ::BEGIN:: and ::END::</translation>
    </message>
    <message>
        <source>新增</source>
        <translation>New</translation>
    </message>
    <message>
        <source>替换</source>
        <translation>Replace</translation>
    </message>
</context>
<context>
    <name>vx::CUpdateDlg</name>
    <message>
        <source>更新升级</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>检查更新</source>
        <translation>Check</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>主程序版本</source>
        <translation>For version</translation>
    </message>
    <message>
        <source>新版本号</source>
        <translation>New version</translation>
    </message>
    <message>
        <source>旧版本号</source>
        <translation>Old version</translation>
    </message>
    <message>
        <source>备注</source>
        <translation>Notes</translation>
    </message>
    <message>
        <source>升级</source>
        <translation>Upgrade</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>检查更新失败</source>
        <translation>Update check failed</translation>
    </message>
    <message>
        <source>检查更新失败: </source>
        <translation>Update check failed: </translation>
    </message>
    <message>
        <source>没有需要更新的文件</source>
        <translation>No file needs updating</translation>
    </message>
    <message>
        <source>共有%1个文件需要更新</source>
        <translation>%1 file(s) to update</translation>
    </message>
    <message>
        <source>文件对应的主程序版本与您现在所使用的主程序版本不一致，您需要升级到<byte value="xd"/>
最新的主程序版本--Vexmor V%1</source>
        <translation>The files are for another version of the main program than the one you use. You need to upgrade to<byte value="xd"/>
the latest main program--Vexmor V%1</translation>
    </message>
    <message>
        <source>升级设置没有写入，本次没有安排升级</source>
        <translation>The upgrade settings could not be written; no upgrade is scheduled</translation>
    </message>
    <message>
        <source>程序需要退出才能完成升级</source>
        <translation>The program must exit to complete the upgrade</translation>
    </message>
</context>
<context>
    <name>vx::CVexmorApp</name>
    <message>
        <source>程序已经运行一个实例</source>
        <translation>The program is already running</translation>
    </message>
</context>
<context>
    <name>vx::LanguageMenu</name>
    <message>
        <source>跟随系统</source>
        <translation>Desktop Default</translation>
    </message>
    <message>
        <source>界面语言</source>
        <translation>Interface Language</translation>
    </message>
    <message>
        <source>界面语言在重新启动程序后生效</source>
        <translation>The interface language changes when the program restarts</translation>
    </message>
    <message>
        <source>界面语言设置没有写入</source>
        <translation>The interface language setting could not be written</translation>
    </message>
</context>
<context>
    <name>vx::platform::MacVendors</name>
    <message>
        <source>随机MAC地址</source>
        <translation>Random MAC address</translation>
    </message>
</context>
<context>
    <name>vx::platform::MessageBox</name>
    <message>
        <source>是</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>否</source>
        <translation>No</translation>
    </message>
</context>
<context>
    <name>vx::platform::UserShares</name>
    <message>
        <source>请把当前用户加入 sambashare 组（scripts/setup.sh 会做）并重新登录，再共享</source>
        <translation>Add the current user to the sambashare group (scripts/setup.sh does this), log in again, then share</translation>
    </message>
    <message>
        <source>Samba 未启用用户共享：请在 smb.conf 的 [global] 中设置 usershare max shares = 100</source>
        <translation>Samba user shares are off: set usershare max shares = 100 in the [global] section of smb.conf</translation>
    </message>
    <message>
        <source>Samba 的用户共享目录不可用：请检查 smb.conf 中的 usershare path</source>
        <translation>Samba&apos;s user share folder is unavailable: check usershare path in smb.conf</translation>
    </message>
    <message>
        <source>Samba 不允许来宾访问用户共享：请在 smb.conf 的 [global] 中设置 usershare allow guests = yes（scripts/setup.sh 会做）</source>
        <translation>Samba does not allow guests on user shares: set usershare allow guests = yes in the [global] section of smb.conf (scripts/setup.sh does this)</translation>
    </message>
    <message>
        <source>Samba 只允许共享自己拥有的文件夹：请共享自己的文件夹，或在 smb.conf 的 [global] 中设置 usershare owner only = false</source>
        <translation>Samba shares only folders you own: share a folder of your own, or set usershare owner only = false in the [global] section of smb.conf</translation>
    </message>
    <message>
        <source>Samba 用户共享数已达上限：请在 smb.conf 的 [global] 中调高 usershare max shares</source>
        <translation>Samba has reached its limit of user shares: raise usershare max shares in the [global] section of smb.conf</translation>
    </message>
    <message>
        <source>共享名不能含有以下字符：</source>
        <translation>A share name cannot contain these characters: </translation>
    </message>
    <message>
        <source>共享名与本机的用户名相同</source>
        <translation>The share name is the same as a user name on this computer</translation>
    </message>
    <message>
        <source>共享名超过254个字符</source>
        <translation>The share name is longer than 254 characters</translation>
    </message>
    <message>
        <source>共享名为空或含有控制字符</source>
        <translation>The share name is empty or contains control characters</translation>
    </message>
    <message>
        <source>“%1”是 Samba 保留的名称</source>
        <translation>“%1” is a name reserved by Samba</translation>
    </message>
    <message>
        <source>文件夹路径超过254个字符</source>
        <translation>The folder path is longer than 254 characters</translation>
    </message>
    <message>
        <source>文件夹路径含有控制字符</source>
        <translation>The folder path contains control characters</translation>
    </message>
    <message>
        <source>无法运行 Samba 的 net 命令：请安装 samba 与 samba-common-bin</source>
        <translation>Cannot run Samba&apos;s net command: install samba and samba-common-bin</translation>
    </message>
    <message>
        <source>Samba 的 net 命令没有及时应答</source>
        <translation>Samba&apos;s net command did not answer in time</translation>
    </message>
    <message>
        <source>网络文件系统上的文件夹不能再共享</source>
        <translation>A folder on a network file system cannot be shared again</translation>
    </message>
</context>
</TS>
