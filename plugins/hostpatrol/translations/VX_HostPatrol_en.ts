<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CHistoryDb</name>
    <message>
        <source>主机历史不可用: 缺少 Qt 的 SQLite 驱动 (libqt6sql6-sqlite)。巡测照常进行, 但不记录历史。</source>
        <translation>Host history unavailable: Qt&apos;s SQLite driver is missing (libqt6sql6-sqlite). The patrol goes on without recording history.</translation>
    </message>
    <message>
        <source>主机历史文件 %1 正被另一个进程使用。巡测照常进行, 但不记录历史。</source>
        <translation>The host history file %1 is in use by another process. The patrol goes on without recording history.</translation>
    </message>
    <message>
        <source>主机历史无法写入 %1 (%2)。巡测照常进行, 但不记录历史。</source>
        <translation>Cannot write the host history to %1 (%2). The patrol goes on without recording history.</translation>
    </message>
    <message>
        <source>主机历史文件 %1 由更新的版本写入, 本版本不改动它。巡测照常进行, 但不记录历史。</source>
        <translation>The host history file %1 was written by a newer version, which this version leaves alone. The patrol goes on without recording history.</translation>
    </message>
    <message>
        <source>主机历史无法写入 %1 (文件夹不可写)。巡测照常进行, 但不记录历史。</source>
        <translation>Cannot write the host history to %1 (the folder is not writable). The patrol goes on without recording history.</translation>
    </message>
    <message>
        <source>主机历史文件已损坏或不是本程序的文件, 已改名为 %1, 重新开始记录历史。</source>
        <translation>The host history file was damaged or not this program&apos;s; it was renamed to %1 and a new history begins.</translation>
    </message>
    <message>
        <source>主机历史文件 %1 已损坏, 且无法改名。巡测照常进行, 但不记录历史。</source>
        <translation>The host history file %1 is damaged and could not be renamed. The patrol goes on without recording history.</translation>
    </message>
    <message>
        <source>主机历史无法写入 %1 (%2)。巡测照常进行, 但不再记录历史。</source>
        <translation>Cannot write the host history to %1 (%2). The patrol goes on, but records no more history.</translation>
    </message>
</context>
<context>
    <name>CNetworkProbe</name>
    <message>
        <source>主机巡测没有原始 ARP 可用, 改读内核邻居表: 主机下线最多晚 %1 秒才会报告。启用精确模式: %2</source>
        <translation>Host Patrol has no raw ARP and reads the kernel&apos;s neighbour table instead: a host going offline is reported up to %1 s late. To enable exact mode: %2</translation>
    </message>
</context>
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
    <name>HistoryAlerts</name>
    <message>
        <source>上线</source>
        <translation>Online</translation>
    </message>
    <message>
        <source>下线</source>
        <translation>Offline</translation>
    </message>
    <message>
        <source>新设备</source>
        <translation>New device</translation>
    </message>
    <message>
        <source>新共享</source>
        <translation>New share</translation>
    </message>
    <message>
        <source>地址变化</source>
        <translation>Address change</translation>
    </message>
    <message>
        <source>地址冲突</source>
        <translation>Address conflict</translation>
    </message>
    <message>
        <source>发现新设备%1(%2)</source>
        <translation>New device %1 (%2)</translation>
    </message>
    <message>
        <source>%1的MAC地址由%2变为%3</source>
        <translation>MAC address of %1 changed from %2 to %3</translation>
    </message>
    <message>
        <source>%1地址冲突:%2,%3</source>
        <translation>Address conflict at %1: %2, %3</translation>
    </message>
</context>
<context>
    <name>ToolName</name>
    <message>
        <source>主机历史</source>
        <translation>Host History</translation>
    </message>
    <message>
        <source>主机巡测</source>
        <translation>Host Patrol</translation>
    </message>
    <message>
        <source>搜索工具</source>
        <translation>Search Tools</translation>
    </message>
</context>
<context>
    <name>vx::hostpatrol::CHostHistory</name>
    <message>
        <source>主机历史文件 %1 无法读取。巡测照常进行, 但不记录历史。</source>
        <translation>Cannot read the host history file %1. The patrol goes on without recording history.</translation>
    </message>
</context>
<context>
    <name>vx::hostpatrol::CHostHistoryDlg</name>
    <message>
        <source>筛选:</source>
        <translation>Filter:</translation>
    </message>
    <message>
        <source>IP地址、MAC地址、主机名或厂商</source>
        <translation>IP address, MAC address, host name or vendor</translation>
    </message>
    <message>
        <source>筛选</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>清除筛选</source>
        <translation>Clear filter</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>导出列表...</source>
        <translation>Export List...</translation>
    </message>
    <message>
        <source>清除历史</source>
        <translation>Clear History</translation>
    </message>
    <message>
        <source>主机历史</source>
        <translation>Host History</translation>
    </message>
    <message>
        <source>MAC地址,130;最近IP地址,110;主机名,120;厂商,150;首次发现,135;最近发现,135;上线次数,70;</source>
        <extracomment>Column titles with their widths in pixels; widen a column whose title needs more.</extracomment>
        <translation>MAC address,130;Last IP address,110;Host name,120;Vendor,150;First seen,135;Last seen,135;Times online,100;</translation>
    </message>
    <message>
        <source>设备事件</source>
        <translation>Device events</translation>
    </message>
    <message>
        <source>时间,135;事件,80;IP地址,110;详情,200;</source>
        <extracomment>Column titles with their widths in pixels; widen a column whose title needs more.</extracomment>
        <translation>Time,135;Event,110;IP address,110;Details,200;</translation>
    </message>
    <message>
        <source>导出失败: %1</source>
        <translation>Export failed: %1</translation>
    </message>
    <message>
        <source>导出列表</source>
        <translation>Export List</translation>
    </message>
    <message>
        <source>主机历史.csv</source>
        <translation>host-history.csv</translation>
    </message>
    <message>
        <source>清除全部主机历史(所有设备和事件)? 此操作不能撤销。</source>
        <translation>Clear the whole host history (all devices and events)? This cannot be undone.</translation>
    </message>
</context>
<context>
    <name>vx::hostpatrol::CHostIdentity</name>
    <message>
        <source>未找到IEEE厂商登记表(%1)，厂商一栏为空；它由软件包 %2 提供。</source>
        <translation>IEEE vendor registry not found (%1); the Vendor column stays empty. The package %2 provides it.</translation>
    </message>
    <message>
        <source>随机MAC地址</source>
        <translation>Random MAC address</translation>
    </message>
</context>
<context>
    <name>vx::hostpatrol::CHostPatrolDlg</name>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>在线主机数=%1,最大时=%2</source>
        <translation>Online hosts=%1, peak=%2</translation>
    </message>
    <message>
        <source>巡测间隔(秒)</source>
        <translation>Interval (s)</translation>
    </message>
    <message>
        <source>巡测共享资源</source>
        <translation>Patrol shares</translation>
    </message>
    <message>
        <source>使用说明</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>主机巡测</source>
        <translation>Host Patrol</translation>
    </message>
    <message>
        <source>IP地址,120;MAC地址,120;最近扫描时间,120;共享资源,200;主机名,120;厂商,150;</source>
        <extracomment>Column titles with their widths in pixels; widen a column whose title needs more.</extracomment>
        <translation>IP address,120;MAC address,120;Last scanned,120;Shares,200;Host name,120;Vendor,150;</translation>
    </message>
    <message>
        <source>请输入一个整数。</source>
        <translation>Please enter a whole number.</translation>
    </message>
    <message>
        <source>%1下线了</source>
        <translation>%1 went offline</translation>
    </message>
    <message>
        <source>%1上线了</source>
        <translation>%1 came online</translation>
    </message>
    <message>
        <source>%1共享了--%2</source>
        <translation>%1 shares --%2</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>导出列表失败：%1<byte value="xd"/>
%2</source>
        <translation>Could not export the list: %1<byte value="xd"/>
%2</translation>
    </message>
    <message>
        <source>导出列表</source>
        <translation>Export List</translation>
    </message>
    <message>
        <source>主机巡测.csv</source>
        <translation>host-patrol.csv</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>导出列表...</source>
        <translation>Export List...</translation>
    </message>
    <message>
        <source>本功主要实现在本地连接网段内定时扫描计算机和共享资源，<byte value="xd"/>
如果有计算机开机、关机或共享文件夹时，将实时通知。<byte value="xd"/>
注意：如果扫描一次的时间很长时，建议关闭巡测共享资源。</source>
        <translation>Scans the local network segment for computers and shares at regular intervals,<byte value="xd"/>
and tells at once when a computer starts, shuts down or shares a folder.<byte value="xd"/>
Note: if one scan takes long, turn &quot;Patrol shares&quot; off.</translation>
    </message>
</context>
</TS>
