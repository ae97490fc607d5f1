#include "plugins/hostpatrol/HostIdentity.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <arpa/inet.h>

#include "contract/ToolContract.h"
#include "platform/Gbk.h"
#include "platform/NetText.h"

namespace vx::hostpatrol {

namespace {

// Long enough for any DNS name, short enough for a list cell.
constexpr qsizetype kMaxNameChars = 253;

QString Key(const QString& address, const QString& mac) { return address + u'|' + mac; }

qint64 SteadyMs() {
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    // Never 0, which marks a name not yet looked up.
    return clock.elapsed() + 1;
}

}  // namespace

QString CNetworkNamer::NameOf(const QString& address, const platform::LookupCancel& cancel) {
    in_addr ip{};
    if (inet_pton(AF_INET, address.toLatin1().constData(), &ip) != 1) return {};
    const platform::HostName found = platform::LookUpHostName(ip.s_addr, {}, &cancel);
    const QByteArray raw = QByteArray::fromStdString(found.name);
    // NetBIOS names are in the sender's OEM code page, which on the machines
    // this program meets is 936; the DNS kinds are UTF-8.
    const QString text = found.source == platform::NameSource::NetBios ? platform::FromGbk(raw)
                                                                      : QString::fromUtf8(raw);
    return platform::CleanNetworkText(text, kMaxNameChars);
}

CHostIdentity::CHostIdentity(std::shared_ptr<IHostNamer> namer, const QString& registryDir)
    : m_namer(std::move(namer)), m_registryDir(registryDir), m_clock(SteadyMs) {}

void CHostIdentity::LoadRegistry() {
    if (m_loader.joinable()) return;
    // The registry is a few megabytes of text and its index a few more: it
    // is read away from the UI, and only when a host is to be named, never
    // while the program starts.
    m_loader = std::thread([this, dir = m_registryDir.toStdString()] {
        auto vendors = std::make_shared<platform::MacVendors>();
        std::shared_ptr<const platform::MacVendors> loaded;
        if (vendors->Load(dir)) loaded = std::move(vendors);
        // Queued, carrying its own copy; dropped if this object is gone.
        QMetaObject::invokeMethod(this, [this, loaded] { OnRegistry(loaded); },
                                  Qt::QueuedConnection);
    });
}

CHostIdentity::~CHostIdentity() {
    {
        std::lock_guard guard(m_lock);
        m_stopping = true;
        m_jobs.clear();
    }
    m_cancel.Cancel();
    m_wake.notify_all();
    if (m_loader.joinable()) m_loader.join();
    // No new worker starts once m_stopping is set, so the list is stable.
    for (std::thread& worker : m_workers) worker.join();
}

QString CHostIdentity::MakerOf(const QString& mac) const {
    return m_vendors ? platform::MakerOf(*m_vendors, mac) : QString();
}

void CHostIdentity::Report(const QString& address, const QString& mac, const QString& name) {
    // Queued like every other report, so a caller is never re-entered.
    QMetaObject::invokeMethod(
        this,
        [this, address, mac, name, maker = MakerOf(mac)] {
            emit Identified(address, mac, name, maker);
        },
        Qt::QueuedConnection);
}

QString ShownMaker(const QString& maker) {
    static const char* const kMadeUp =
        QT_TRANSLATE_NOOP("vx::hostpatrol::CHostIdentity", "随机MAC地址");
    return maker == QString::fromUtf8(kMadeUp)
               ? QCoreApplication::translate("vx::hostpatrol::CHostIdentity", kMadeUp)
               : maker;
}

void CHostIdentity::OnRegistry(std::shared_ptr<const platform::MacVendors> vendors) {
    if (!vendors) {
        if (m_output)
            m_output->OutputMsg(tr("未找到IEEE厂商登记表(%1)，厂商一栏为空；"
                                   "它由软件包 %2 提供。")
                                    .arg(m_registryDir, QLatin1String(platform::kIeeeDataPackage)));
        return;
    }
    m_vendors = std::move(vendors);
    // Hosts seen before the registry was read now get their makers.
    for (auto it = m_known.cbegin(); it != m_known.cend(); ++it)
        Report(it.key().section(u'|', 0, 0), it.key().section(u'|', 1), it->name);
}

void CHostIdentity::Identify(const QString& address, const QString& mac) {
    if (address.isEmpty() || mac.isEmpty()) return;
    LoadRegistry();
    Known& known = m_known[Key(address, mac)];
    const qint64 now = m_clock();
    const bool fresh = known.lookedUpAt != 0 && now - known.lookedUpAt < kNameLifetimeMs;
    if (known.looking) return;  // its end reports
    Report(address, mac, known.name);
    if (fresh || !m_namer) return;

    known.looking = true;
    std::lock_guard guard(m_lock);
    if (m_stopping) return;
    m_jobs.push_back({address, mac});
    if (m_idle > 0 || m_workers.size() >= kMaxLookups) {
        m_wake.notify_one();
        return;
    }
    m_workers.emplace_back([this] { Work(); });
}

void CHostIdentity::Work() {
    std::unique_lock guard(m_lock);
    for (;;) {
        ++m_idle;
        m_wake.wait(guard, [this] { return m_stopping || !m_jobs.empty(); });
        --m_idle;
        if (m_stopping) return;
        const Job job = m_jobs.front();
        m_jobs.pop_front();
        guard.unlock();
        const QString name = m_namer->NameOf(job.address, m_cancel);
        if (!m_cancel.Cancelled()) {
            QMetaObject::invokeMethod(
                this, [this, job, name] { OnNamed(job.address, job.mac, name); },
                Qt::QueuedConnection);
        }
        guard.lock();
    }
}

void CHostIdentity::OnNamed(const QString& address, const QString& mac, const QString& name) {
    Known& known = m_known[Key(address, mac)];
    known.looking = false;
    known.lookedUpAt = m_clock();
    // A host that stopped giving its name keeps the one it gave.
    if (!name.isEmpty()) known.name = name;
    Report(address, mac, known.name);
}

}  // namespace vx::hostpatrol
