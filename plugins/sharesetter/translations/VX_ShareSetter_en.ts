<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CSortHeaderCtrl</name>
    <message>
        <source>列标题</source>
        <translation>Column headers</translation>
    </message>
    <message>
        <source>升序</source>
        <translation>Ascending</translation>
    </message>
    <message>
        <source>降序</source>
        <translation>Descending</translation>
    </message>
</context>
<context>
    <name>ShareOps</name>
    <message>
        <source>用户不能访问指定的请求信息</source>
        <translation>access denied</translation>
    </message>
    <message>
        <source>指定的文件夹不存在</source>
        <translation>the folder does not exist</translation>
    </message>
    <message>
        <source>指定的文件夹已经被共享</source>
        <translation>the folder is already shared</translation>
    </message>
    <message>
        <source>共享名已经存在</source>
        <translation>the share name already exists</translation>
    </message>
    <message>
        <source>错误码%1</source>
        <translation>error code %1</translation>
    </message>
    <message>
        <source>文件夹路径或共享名含有无法用 GBK 保存的字符</source>
        <translation>The folder path or the share name holds characters that cannot be stored in GBK.</translation>
    </message>
    <message>
        <source>共享文件夹%1成功,共享名为%2</source>
        <translation>Shared folder %1 as %2</translation>
    </message>
    <message>
        <source>共享文件夹失败(%1)</source>
        <translation>Could not share the folder (%1)</translation>
    </message>
</context>
<context>
    <name>ToolName</name>
    <message>
        <source>设置共享资源</source>
        <translation>Share Setter</translation>
    </message>
    <message>
        <source>搜索工具</source>
        <translation>Search Tools</translation>
    </message>
</context>
<context>
    <name>vx::sharesetter::CShareSetterDlg</name>
    <message>
        <source>无限制</source>
        <translation>Unlimited</translation>
    </message>
    <message>
        <source>30分钟</source>
        <translation>30 minutes</translation>
    </message>
    <message>
        <source>2小时</source>
        <translation>2 hours</translation>
    </message>
    <message>
        <source>6小时</source>
        <translation>6 hours</translation>
    </message>
    <message>
        <source>24小时</source>
        <translation>24 hours</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <source>共享目录</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>共享时间</source>
        <translation>Duration</translation>
    </message>
    <message>
        <source>添加共享</source>
        <translation>Add Share</translation>
    </message>
    <message>
        <source>使用说明</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>请选择文件夹</source>
        <translation>Choose a folder</translation>
    </message>
    <message>
        <source>设置共享资源</source>
        <translation>Share Setter</translation>
    </message>
    <message>
        <source>共享名称,150;文件夹路径,150;共享时间,120</source>
        <extracomment>Column titles with their widths in pixels; widen a column whose title needs more.</extracomment>
        <translation>Share name,150;Folder path,150;Time left,120</translation>
    </message>
    <message>
        <source>删除共享</source>
        <translation>Delete Share</translation>
    </message>
    <message>
        <source>打开共享目录</source>
        <translation>Open Shared Folder</translation>
    </message>
    <message>
        <source>本机所有共享</source>
        <translation>All Shares of This Machine</translation>
    </message>
    <message>
        <source>修改为无限制</source>
        <translation>Make Unlimited</translation>
    </message>
    <message>
        <source>%1小时</source>
        <translation>%1 h </translation>
    </message>
    <message>
        <source>%1分</source>
        <translation>%1 min </translation>
    </message>
    <message>
        <source>%1秒</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>添加共享失败</source>
        <translation>Could not add the share</translation>
    </message>
    <message>
        <source>删除共享%1成功</source>
        <translation>Deleted share %1</translation>
    </message>
    <message>
        <source>删除共享%1失败</source>
        <translation>Could not delete share %1</translation>
    </message>
    <message>
        <source>在程序退出时，所有共享资源的共享时间都将被设置为&quot;无限制&quot;,<byte value="xd"/>
在共享资源列表内右击，选择删除共享,可以取消指定的共享。</source>
        <translation>When the program exits, every share&apos;s time is set to &quot;Unlimited&quot;.<byte value="xd"/>
To remove a share, right-click it in the list and choose &quot;Delete Share&quot;.</translation>
    </message>
</context>
</TS>
