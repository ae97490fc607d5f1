// Context menus that assistive technology can find while they are open.
//
// Qt lists a program's top-level windows as the accessible children of the
// application but leaves popup windows out, while a menu that no menu bar or
// menu holds names the application as its parent. A menu bar's menus are
// reached through their bar; any other popup menu (a list's context menu,
// the tray icon's menu) was on the AT-SPI bus only as an orphan that no
// client walking down from the application ever met, and nothing told a
// client that it had opened.
//
// The mend has two halves:
// - InstallPopupMenuAccessibility: the application's accessible interface
//   also lists every open popup menu whose parent is the application, with
//   its items. The program installs it once, from the module that owns the
//   application object (the host), before its first window: the interface
//   is that module's code and lives as long as the application.
// - PopupContextMenu: opens a context menu and tells assistive technology
//   that it came and went. Every context menu, in the host and in plug-ins,
//   opens through it:
//
//     m_list->setContextMenuPolicy(Qt::CustomContextMenu);
//     connect(m_list, &QWidget::customContextMenuRequested, this,
//             [this](const QPoint& pos) {
//                 vx::platform::PopupContextMenu(m_menu, m_list,
//                                                m_list->viewport()->mapToGlobal(pos));
//             });
#pragma once

class QMenu;
class QPoint;
class QWidget;

namespace vx::platform {

// Opens `menu` at `globalPos` (screen coordinates; for a list, the position
// from customContextMenuRequested mapped from its viewport) as the context
// menu of `owner`, and returns at once: popup(), never a nested event loop
// that an exit could strand. A menu without an accessible name is named
// after its owner ("设置共享资源" for that page's list). The menu stays the
// caller's; one menu may be opened any number of times.
void PopupContextMenu(QMenu* menu, QWidget* owner, const QPoint& globalPos);

// Makes the application's accessible interface list the open popup menus
// (see above). Host only; calling it again does nothing.
void InstallPopupMenuAccessibility();

}  // namespace vx::platform
