#pragma once
// The recording adapter dialog's tests over simulated adapters: a build of
// kemusb with controls (tests/devtools/recsim), which the dialog loads as
// its "KemControl.dll", a fake clock for the wait task, and a helper that
// stands in for the user while the waiting dialog is up.

#include "tests/support/PeerCheck.h"
#include "tests/support/GiveUp.h"
#include "widgets/QUserLoadingDialog.h"
#include "devtools/QUserWaitResultTask.h"
#include "core/QUserKemusbPath.h"

#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QLibrary>
#include <QPushButton>
#include <QTimer>

#include <atomic>
#include <string>
#include <vector>

namespace recsim {

// One adapter of each recording model: R1 is the TRND701 (type 61), R2
// the TRND702 (type 62), both index 0.
inline const char *kTopology = "adapter TRND701 name=R1\nadapter TRND702 name=R2\n";

inline QString libPath() { return QString::fromStdString(peer::binDir()) + "/libdevtools_recsimkemusb.so"; }

struct Controls
{
    QLibrary lib;
    int (*configure)(const char *) = nullptr;
    void (*manualTicks)(int) = nullptr;
    int (*fault)(const char *, int, int, int, int) = nullptr;
    int (*disk)(const char *, int, int, int, int) = nullptr;
    int (*card)(const char *, int, uint32_t, uint32_t) = nullptr;
    int (*clock)(const char *, int, int, int, int, int, int) = nullptr;
    int (*counts)(const char *, int *, int *, int *) = nullptr;
    int (*outCount)(const char *) = nullptr;
    int (*outGet)(const char *, int, uint8_t *, int) = nullptr;
    int (*outClear)(const char *) = nullptr;
    int (*isOpen)(const char *) = nullptr;
    int (*filter)(const char *, int, int, int *, uint32_t *, uint32_t *, int *) = nullptr;
    int (*failWrites)(const char *, int) = nullptr;
    uint32_t (*settingSet)(uint32_t, uint32_t, uint32_t, void *) = nullptr;
    uint32_t (*settingGet)(uint32_t, uint32_t, uint32_t, void *) = nullptr;

    // Selects the simulated back end, loads the build and points every
    // later load of the adapter library at it.
    explicit Controls(const char *topology = kTopology)
    {
        qputenv("KEMUSB_BACKEND", "sim");
        qunsetenv("KEMUSB_SIM_CONFIG");
        lib.setFileName(libPath());
        if (!lib.load())
            return;
        const auto get = [this](const char *name, auto &fn) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(lib.resolve(name));
        };
        get("recsim_configure", configure);
        get("recsim_manual_ticks", manualTicks);
        get("recsim_fault", fault);
        get("recsim_disk", disk);
        get("recsim_card", card);
        get("recsim_clock", clock);
        get("recsim_counts", counts);
        get("recsim_out_count", outCount);
        get("recsim_out_get", outGet);
        get("recsim_out_clear", outClear);
        get("recsim_is_open", isOpen);
        get("recsim_filter", filter);
        get("recsim_fail_writes", failWrites);
        get("KCAN_RecordSettingSet", settingSet);
        get("KCAN_RecordSettingGet", settingGet);
        if (configure)
            configure(topology);
        QUserKemusbPath::setPathOverride(libPath());
    }
    ~Controls()
    {
        QUserKemusbPath::setPathOverride(QString());
        if (manualTicks)
            manualTicks(0);
    }
    bool ok() const
    {
        return configure && manualTicks && fault && disk && card && clock && counts && outCount && outGet &&
               outClear && isOpen && filter && failWrites && settingSet && settingGet;
    }

    // The command-pipe writes since the last clear, as lower-case hex.
    std::vector<std::string> writes(const char *alias) const
    {
        static const char *d = "0123456789abcdef";
        std::vector<std::string> out;
        const int n = outCount(alias);
        for (int i = 0; i < n; ++i) {
            uint8_t buf[128];
            const int len = outGet(alias, i, buf, int(sizeof buf));
            std::string h;
            for (int k = 0; k < len && k < int(sizeof buf); ++k) {
                h += d[buf[k] >> 4];
                h += d[buf[k] & 15];
            }
            out.push_back(h);
        }
        return out;
    }
    // Only the direct-transfer writes (12 A7 ...).
    std::vector<std::string> directWrites(const char *alias) const
    {
        std::vector<std::string> out;
        for (const std::string &w : writes(alias))
            if (w.rfind("12a7", 0) == 0)
                out.push_back(w);
        return out;
    }
};

// A clock whose sleeps pass at once.
class FakeClock : public QUserWaitClock
{
public:
    explicit FakeClock(int64_t start = 1700000000000LL) : now(start) {}
    int64_t nowMs() override { return now.load(); }
    void sleepMs(int ms) override { now += ms; }
    std::atomic<int64_t> now;
};

// What the waiting dialog showed, and the user's waiting for it to close.
struct Waited
{
    QString tips;
    bool cancelHidden = false;
    bool modal = false;
    bool closed = false;
};

// Answers a waiting dialog's modal run: waits (events running) until the
// final status closes it, at most timeoutMs (a bound to give up at).
inline int waitForClose(QDialog *d, Waited *seen, int timeoutMs = testsupport::kGiveUpMs)
{
    auto *w = qobject_cast<QUserLoadingDialog *>(d);
    if (!w)
        return d->result();
    if (seen) {
        seen->tips = w->tipsLabelWidget()->text();
        seen->cancelHidden = w->cancelButton()->isHidden() && !w->cancelButton()->isEnabled();
        seen->modal = w->isModal();
    }
    QEventLoop loop;
    bool finished = false;
    QObject::connect(w, &QDialog::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    if (seen)
        seen->closed = finished;
    return w->result();
}

} // namespace recsim
